#include "data/command.h"

#include <cmath>

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit {
namespace {

constexpr char kOutPrefix[] = "__ambit_out_";

bool IsOutput(ParameterDirection d) { return d != ParameterDirection::kInput; }

}  // namespace

std::string SqlLiteral(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return "NULL";
    case VarType::kBoolean:
      return v.bool_value() ? "1" : "0";
    case VarType::kDate:
      return "'" + FormatDate(v.date_value()) + "'";
    case VarType::kString: {
      std::string out = "N'";
      for (char c : v.string_value()) {
        if (c == '\'') out += '\'';
        out += c;
      }
      return out + "'";
    }
    case VarType::kObject:
      throw ComError(err::kTypeMismatch, kDataErrorSource,
                     "An object cannot be passed as a parameter value.");
    default:
      return CStr(v);
  }
}

std::string SqlTypeName(DataType type, int32_t size) {
  auto sized = [&](const char* name) {
    return std::string(name) + "(" + (size > 0 ? std::to_string(size) : std::string("max")) + ")";
  };
  switch (type) {
    case DataType::kSmallInt: return "smallint";
    case DataType::kInteger: return "int";
    case DataType::kBigInt: return "bigint";
    case DataType::kTinyInt: return "tinyint";
    case DataType::kBoolean: return "bit";
    case DataType::kDouble: return "float";
    case DataType::kCurrency: return "money";
    case DataType::kDecimal:
    case DataType::kNumeric: return "decimal(28,10)";
    case DataType::kDate:
    case DataType::kDBTimeStamp: return "datetime";
    case DataType::kChar: return sized("char");
    case DataType::kWChar: return sized("nchar");
    case DataType::kVarChar:
    case DataType::kLongVarChar: return sized("varchar");
    case DataType::kGuid: return "uniqueidentifier";
    default: return sized("nvarchar");
  }
}

Parameter& Command::AddParameter(std::string name, DataType type, ParameterDirection direction,
                                 int32_t size, Variant value) {
  parameters.push_back(Parameter{std::move(name), type, direction, size, std::move(value)});
  return parameters.back();
}

// Positional "?" markers of a text command take their parameters' literals; a "?" inside a
// quoted literal, a bracketed name or a comment is text, not a marker.
static std::string BindTextParameters(const std::string& text, const std::vector<Parameter>& params) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\'' || c == '[' || c == '"') {
      char close = c == '[' ? ']' : c;
      size_t end = text.find(close, i + 1);
      if (end == std::string::npos) end = text.size() - 1;
      out.append(text, i, end - i + 1);
      i = end;
    } else if (c == '-' && i + 1 < text.size() && text[i + 1] == '-') {
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size() - 1;
      out.append(text, i, end - i + 1);
      i = end;
    } else if (c == '?') {
      if (next >= params.size())
        throw ComError(err::kInvalidArgument, kDataErrorSource,
                       "The command text has more '?' markers than parameters.");
      out += SqlLiteral(params[next++].value);
    } else {
      out += c;
    }
  }
  if (next != params.size())
    throw ComError(err::kInvalidArgument, kDataErrorSource,
                   "The command has " + std::to_string(params.size()) + " parameters but " +
                       std::to_string(next) + " '?' markers.");
  return out;
}

std::string Command::BuildBatch() const {
  if (command_type != CommandType::kStoredProc) return BindTextParameters(command_text, parameters);
  std::string declare, set, exec = "EXEC " + command_text, select;
  for (size_t i = 0; i < parameters.size(); ++i) {
    const Parameter& p = parameters[i];
    std::string arg;
    if (IsOutput(p.direction)) {
      std::string var = "@__p" + std::to_string(i + 1);
      declare += (declare.empty() ? "DECLARE " : ", ") + var + " " + SqlTypeName(p.type, p.size);
      if (p.direction == ParameterDirection::kInputOutput)
        set += "SET " + var + " = " + SqlLiteral(p.value) + "\r\n";
      arg = var + " OUTPUT";
      select += (select.empty() ? "SELECT " : ", ") + var + " AS [" + kOutPrefix +
                std::to_string(i + 1) + "]";
    } else {
      arg = SqlLiteral(p.value);
    }
    exec += (i == 0 ? " " : ", ") + arg;
  }
  std::string batch;
  if (!declare.empty()) batch += declare + "\r\n";
  batch += set + exec + "\r\n";
  if (!select.empty()) batch += select + "\r\n";
  return batch;
}

RecordsetPtr Connection::ExecuteCommand(Command& command) {
  return command.ExecuteAsBatch(*this);
}

RecordsetPtr Command::Execute() {
  if (!active_connection)
    throw ComError(err::kObjectRequired, kDataErrorSource,
                   "The command has no active connection.");
  return active_connection->ExecuteCommand(*this);
}

RecordsetPtr Command::ExecuteAsBatch(Connection& connection) {
  RecordsetPtr first = connection.Execute(BuildBatch());
  std::vector<RecordsetPtr> sets;
  for (RecordsetPtr r = first; r; r = r->NextRecordset()) sets.push_back(r);

  std::vector<RecordsetPtr> kept;
  for (const RecordsetPtr& r : sets) {
    bool is_out = r->IsOpen() && r->FieldCount() > 0 && r->Field(0).name.starts_with(kOutPrefix);
    if (!is_out) {
      kept.push_back(r);
      continue;
    }
    if (r->Eof()) continue;
    for (int f = 0; f < r->FieldCount(); ++f) {
      size_t index = std::stoul(r->Field(f).name.substr(sizeof(kOutPrefix) - 1)) - 1;
      if (index < parameters.size()) parameters[index].value = r->Value(f);
    }
  }
  for (size_t i = 0; i + 1 < kept.size(); ++i) kept[i]->SetNextRecordset(kept[i + 1]);
  if (kept.empty()) {
    auto closed = std::make_shared<Recordset>();
    closed->set_records_affected(first ? first->records_affected() : -1);
    return closed;
  }
  return kept.front();
}

}  // namespace ambit
