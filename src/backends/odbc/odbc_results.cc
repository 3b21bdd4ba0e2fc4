#include "backends/odbc/odbc_results.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "base/conversions.h"

namespace ambit::odbc {

DataType DataTypeOf(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_TINYINT: return DataType::kTinyInt;
    case SQL_SMALLINT: return DataType::kSmallInt;
    case SQL_INTEGER: return DataType::kInteger;
    case SQL_BIGINT: return DataType::kBigInt;
    case SQL_BIT: return DataType::kBoolean;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return DataType::kDouble;
    case SQL_DECIMAL: return DataType::kDecimal;
    case SQL_NUMERIC: return DataType::kNumeric;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME: return DataType::kDate;
    case SQL_GUID: return DataType::kGuid;
    case SQL_CHAR: return DataType::kChar;
    case SQL_WCHAR: return DataType::kWChar;
    case SQL_LONGVARCHAR: return DataType::kLongVarChar;
    case SQL_WVARCHAR: return DataType::kVarWChar;
    case SQL_WLONGVARCHAR: return DataType::kLongVarWChar;
    default: return DataType::kVarChar;  // VARCHAR, and what we only show as text (time, binary)
  }
}

namespace {

struct Column {
  FieldInfo info;
  SQLSMALLINT sql_type = SQL_VARCHAR;
};

std::vector<Column> DescribeColumns(const Handle& stmt, SQLSMALLINT count) {
  std::vector<Column> columns;
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    SQLCHAR name[512];
    SQLSMALLINT name_length = 0, sql_type = 0, decimals = 0, nullable = 0;
    SQLULEN size = 0;
    if (!Succeeded(SQLDescribeCol(stmt.get(), i, name, static_cast<SQLSMALLINT>(std::size(name)),
                                   &name_length, &sql_type, &size, &decimals, &nullable)))
      ThrowDiagnostics(stmt, "Cannot describe a result column");
    Column c;
    size_t chars = std::min<size_t>(static_cast<size_t>(name_length), std::size(name) - 1);
    c.info.name.assign(reinterpret_cast<char*>(name), chars);
    c.sql_type = sql_type;
    c.info.type = DataTypeOf(sql_type);
    if (c.info.type == DataType::kDecimal || c.info.type == DataType::kNumeric) {
      c.info.precision = static_cast<uint8_t>(std::min<SQLULEN>(size, 38));
      c.info.scale = static_cast<uint8_t>(decimals);
    } else {
      c.info.defined_size = size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
    }
    columns.push_back(std::move(c));
  }
  return columns;
}

// SQLGetData of one fixed-size value; false when it is NULL.
template <class T>
bool GetFixed(const Handle& stmt, SQLUSMALLINT col, SQLSMALLINT c_type, T* value) {
  SQLLEN indicator = 0;
  if (!Succeeded(SQLGetData(stmt.get(), col, c_type, value, sizeof(T), &indicator)))
    ThrowDiagnostics(stmt, "Cannot read a result value");
  return indicator != SQL_NULL_DATA;
}

// Text of any length (UTF-8), in pieces; false for NULL.
bool GetText(const Handle& stmt, SQLUSMALLINT col, std::string* out) {
  out->clear();
  std::vector<char> buffer(8192);
  while (true) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt.get(), col, SQL_C_CHAR, buffer.data(),
                              static_cast<SQLLEN>(buffer.size()), &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) ThrowDiagnostics(stmt, "Cannot read a result value");
    if (indicator == SQL_NULL_DATA) return false;
    size_t room = buffer.size() - 1;  // the terminator takes the last byte
    size_t got = indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room
                     ? room
                     : static_cast<size_t>(indicator);
    out->append(buffer.data(), got);
    if (rc == SQL_SUCCESS) break;  // SQL_SUCCESS_WITH_INFO: truncated, more follows
  }
  return true;
}

Variant ReadValue(const Handle& stmt, SQLUSMALLINT col, const FieldInfo& field) {
  switch (field.type) {
    case DataType::kTinyInt:
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kBigInt: {
      SQLBIGINT v = 0;
      if (!GetFixed(stmt, col, SQL_C_SBIGINT, &v)) return Variant::Null();
      // As the embedded engine answers: a Long when it fits.
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<int64_t>(v));
    }
    case DataType::kBoolean: {
      unsigned char v = 0;
      if (!GetFixed(stmt, col, SQL_C_BIT, &v)) return Variant::Null();
      return Variant(v != 0);
    }
    case DataType::kDouble: {
      double v = 0;
      if (!GetFixed(stmt, col, SQL_C_DOUBLE, &v)) return Variant::Null();
      return Variant(v);
    }
    case DataType::kDecimal:
    case DataType::kNumeric: {
      // As text: the driver's decimal struct differs between drivers, its digits do not.
      std::string text;
      if (!GetText(stmt, col, &text)) return Variant::Null();
      return Variant(std::strtod(text.c_str(), nullptr));
    }
    case DataType::kDate: {
      SQL_TIMESTAMP_STRUCT ts{};
      if (!GetFixed(stmt, col, SQL_C_TYPE_TIMESTAMP, &ts)) return Variant::Null();
      return Variant(MakeDate(ts.year, ts.month, ts.day, ts.hour, ts.minute,
                              ts.second + ts.fraction / 1e9));
    }
    default: {
      std::string text;
      if (!GetText(stmt, col, &text)) return Variant::Null();
      return Variant(std::move(text));
    }
  }
}

RecordsetPtr ReadOneSet(const Handle& stmt, SQLSMALLINT column_count) {
  std::vector<Column> columns = DescribeColumns(stmt, column_count);
  std::vector<FieldInfo> fields;
  for (const Column& c : columns) fields.push_back(c.info);
  std::vector<Recordset::Row> rows;
  while (true) {
    SQLRETURN rc = SQLFetch(stmt.get());
    if (rc == SQL_NO_DATA) break;
    if (!Succeeded(rc)) ThrowDiagnostics(stmt);
    Recordset::Row row;
    row.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i)
      row.push_back(ReadValue(stmt, static_cast<SQLUSMALLINT>(i + 1), fields[i]));
    rows.push_back(std::move(row));
  }
  return std::make_shared<Recordset>(std::move(fields), std::move(rows));
}

}  // namespace

RecordsetPtr ReadResults(const Handle& stmt, SQLRETURN rc, FailedBatchResults* failed) {
  std::vector<RecordsetPtr> sets;
  int64_t last_count = -1;
  std::optional<Diagnostics> first_error;
  int error_position = 0;
  // A bound on the errors read past, should a driver keep answering SQL_ERROR.
  constexpr int kMaxErrors = 1000;
  int errors = 0;
  // An UPDATE that touched nothing answers SQL_NO_DATA; later statements of the batch may still
  // have results.
  if (rc == SQL_NO_DATA) {
    last_count = 0;
    rc = SQLMoreResults(stmt.get());
  }
  while (rc != SQL_NO_DATA) {
    if (!Succeeded(rc)) {
      Diagnostics diag = ReadDiagnostics(stmt);
      if (failed == nullptr || diag.connection_lost() || ++errors > kMaxErrors) {
        throw OdbcError(ToComError(first_error ? *first_error : diag), diag.connection_lost());
      }
      if (!first_error) {
        first_error = std::move(diag);
        error_position = static_cast<int>(sets.size());
      }
      rc = SQLMoreResults(stmt.get());
      continue;
    }
    SQLSMALLINT column_count = 0;
    if (!Succeeded(SQLNumResultCols(stmt.get(), &column_count))) ThrowDiagnostics(stmt);
    if (column_count > 0) {
      sets.push_back(ReadOneSet(stmt, column_count));
    } else {
      SQLLEN count = -1;
      if (Succeeded(SQLRowCount(stmt.get(), &count)) && count >= 0) last_count = count;
    }
    rc = SQLMoreResults(stmt.get());
  }
  if (first_error) {
    for (size_t i = sets.size(); i > 1; --i) sets[i - 2]->SetNextRecordset(sets[i - 1]);
    failed->results = sets.empty() ? nullptr : sets.front();
    failed->error_position = error_position;
    throw OdbcError(ToComError(*first_error), false);
  }
  if (sets.empty()) {
    auto closed = std::make_shared<Recordset>();
    closed->set_records_affected(last_count);
    return closed;
  }
  for (size_t i = sets.size() - 1; i > 0; --i) sets[i - 1]->SetNextRecordset(sets[i]);
  return sets.front();
}

}  // namespace ambit::odbc
