// Commands with native ODBC parameters: values travel bound, never as literals in the text, and
// a stored procedure is called through the ODBC call escape, so OUTPUT parameters come back the
// way the server hands them.
#include <cstring>
#include <vector>

#include "backends/odbc/odbc_connection.h"
#include "backends/odbc/odbc_results.h"
#include "base/conversions.h"
#include "data/command.h"

namespace ambit {
namespace {

using odbc::Handle;

// The default size of text parameters without one: SQL Server's largest nvarchar(n).
constexpr SQLULEN kDefaultTextChars = 4000;

// One parameter's buffer and indicator; they must stay put until the results are read.
struct Bound {
  SQLSMALLINT c_type = SQL_C_CHAR;
  SQLSMALLINT sql_type = SQL_WVARCHAR;
  SQLULEN column_size = 0;
  SQLSMALLINT digits = 0;
  std::vector<char> buffer;
  SQLLEN indicator = 0;
};

bool IsOutput(ParameterDirection d) { return d != ParameterDirection::kInput; }

SQLSMALLINT InputOutputType(ParameterDirection d) {
  switch (d) {
    case ParameterDirection::kOutput: return SQL_PARAM_OUTPUT;
    case ParameterDirection::kInputOutput: return SQL_PARAM_INPUT_OUTPUT;
    default: return SQL_PARAM_INPUT;
  }
}

template <class T>
void Store(Bound& b, const T& value) {
  b.buffer.resize(sizeof(T));
  std::memcpy(b.buffer.data(), &value, sizeof(T));
  b.indicator = sizeof(T);
}

Bound Bind(const Parameter& p) {
  Bound b;
  bool has_value = IsOutput(p.direction) ? p.direction == ParameterDirection::kInputOutput
                                         : true;
  bool is_null = !has_value || p.value.IsNull() || p.value.IsEmpty();
  switch (p.type) {
    case DataType::kTinyInt:
    case DataType::kSmallInt:
    case DataType::kInteger:
    case DataType::kBigInt:
      b.c_type = SQL_C_SBIGINT;
      b.sql_type = p.type == DataType::kBigInt ? SQL_BIGINT : SQL_INTEGER;
      Store(b, static_cast<SQLBIGINT>(is_null ? 0 : CLngLng(p.value)));
      break;
    case DataType::kBoolean:
      b.c_type = SQL_C_BIT;
      b.sql_type = SQL_BIT;
      Store(b, static_cast<unsigned char>(!is_null && CBool(p.value)));
      break;
    case DataType::kDouble:
      b.c_type = SQL_C_DOUBLE;
      b.sql_type = SQL_DOUBLE;
      Store(b, is_null ? 0.0 : CDbl(p.value));
      break;
    case DataType::kDecimal:
    case DataType::kNumeric:
    case DataType::kCurrency: {
      // As text both ways: exact, and the same for every driver.
      b.c_type = SQL_C_CHAR;
      b.sql_type = SQL_DECIMAL;
      b.column_size = 28;
      b.digits = p.type == DataType::kCurrency ? 4 : 10;
      std::string text = is_null ? "" : CStr(p.value);
      b.buffer.assign(64, '\0');
      std::memcpy(b.buffer.data(), text.data(), std::min<size_t>(text.size(), 63));
      b.indicator = static_cast<SQLLEN>(std::min<size_t>(text.size(), 63));
      break;
    }
    case DataType::kDate:
    case DataType::kDBTimeStamp: {
      b.c_type = SQL_C_TYPE_TIMESTAMP;
      b.sql_type = SQL_TYPE_TIMESTAMP;
      b.column_size = 23;
      b.digits = 3;
      SQL_TIMESTAMP_STRUCT ts{};
      if (!is_null) {
        DateParts d = SplitDate(CDate(p.value));
        ts = {static_cast<SQLSMALLINT>(d.year),   static_cast<SQLUSMALLINT>(d.month),
              static_cast<SQLUSMALLINT>(d.day),   static_cast<SQLUSMALLINT>(d.hour),
              static_cast<SQLUSMALLINT>(d.minute), static_cast<SQLUSMALLINT>(d.second),
              static_cast<SQLUINTEGER>(d.millisecond) * 1000000u};
      }
      Store(b, ts);
      break;
    }
    default: {
      // UTF-8 bytes into an nvarchar: text keeps every character, as N'...' literals do.
      std::string text = is_null ? std::string() : CStr(p.value);
      SQLULEN room = p.size > 0 ? static_cast<SQLULEN>(p.size) : kDefaultTextChars;
      if (text.size() > room) room = text.size();
      b.c_type = SQL_C_CHAR;
      b.sql_type = SQL_WVARCHAR;
      b.column_size = room;
      // An output value may need up to four bytes a character.
      b.buffer.assign(IsOutput(p.direction) ? room * 4 + 1 : text.size() + 1, '\0');
      std::memcpy(b.buffer.data(), text.data(), text.size());
      b.indicator = static_cast<SQLLEN>(text.size());
    }
  }
  if (is_null) b.indicator = SQL_NULL_DATA;
  return b;
}

Variant OutputValue(const Bound& b) {
  if (b.indicator == SQL_NULL_DATA) return Variant::Null();
  switch (b.c_type) {
    case SQL_C_SBIGINT: {
      SQLBIGINT v;
      std::memcpy(&v, b.buffer.data(), sizeof v);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
      return Variant(static_cast<int64_t>(v));
    }
    case SQL_C_BIT:
      return Variant(b.buffer[0] != 0);
    case SQL_C_DOUBLE: {
      double v;
      std::memcpy(&v, b.buffer.data(), sizeof v);
      return Variant(v);
    }
    case SQL_C_CHAR:
      if (b.sql_type == SQL_DECIMAL) return Variant(std::strtod(b.buffer.data(), nullptr));
      break;
    case SQL_C_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT ts;
      std::memcpy(&ts, b.buffer.data(), sizeof ts);
      return Variant(MakeDate(ts.year, ts.month, ts.day, ts.hour, ts.minute,
                              ts.second + ts.fraction / 1e9));
    }
    default:
      break;
  }
  size_t room = b.buffer.size() - 1;
  size_t bytes =
      b.indicator == SQL_NO_TOTAL ? room : std::min(static_cast<size_t>(b.indicator), room);
  return Variant(std::string(b.buffer.data(), bytes));
}

}  // namespace

RecordsetPtr OdbcConnection::ExecuteCommand(Command& command) {
  std::string text = command.command_text;
  if (command.command_type == CommandType::kStoredProc) {
    text = "{call " + text + "(";
    for (size_t i = 0; i < command.parameters.size(); ++i) text += i == 0 ? "?" : ", ?";
    text += ")}";
  }
  std::lock_guard lock(mu_);
  RecordsetPtr first;
  Guarded([&] {
    Handle stmt = NewStatement();
    std::vector<Bound> bound;
    bound.reserve(command.parameters.size());
    for (const Parameter& p : command.parameters) bound.push_back(Bind(p));
    for (size_t i = 0; i < bound.size(); ++i) {
      Bound& b = bound[i];
      SQLRETURN rc = SQLBindParameter(
          stmt.get(), static_cast<SQLUSMALLINT>(i + 1),
          InputOutputType(command.parameters[i].direction), b.c_type, b.sql_type, b.column_size,
          b.digits, b.buffer.data(), static_cast<SQLLEN>(b.buffer.size()), &b.indicator);
      if (!odbc::Succeeded(rc))
        odbc::ThrowDiagnostics(stmt, "Cannot bind parameter " + std::to_string(i + 1));
    }
    SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size()));
    // Output parameters arrive after the last result, which ReadResults reads to the end.
    first = odbc::ReadResults(stmt, rc);
    for (size_t i = 0; i < bound.size(); ++i)
      if (IsOutput(command.parameters[i].direction))
        command.parameters[i].value = OutputValue(bound[i]);
  });
  return first;
}

}  // namespace ambit
