// Command: runs a stored procedure with positional input and OUTPUT parameters (or a text with
// "?" markers) on any Connection. By default the call becomes one T-SQL batch, so every backend
// that runs T-SQL runs it; a backend with native parameters (ODBC) binds them instead.
#ifndef AMBIT_DATA_COMMAND_H_
#define AMBIT_DATA_COMMAND_H_

#include <cstdint>
#include <string>
#include <vector>

#include "base/variant.h"
#include "data/connection.h"

namespace ambit {

enum class CommandType : int32_t { kText = 1, kStoredProc = 4 };
enum class ParameterDirection : int32_t { kInput = 1, kOutput = 2, kInputOutput = 3 };

struct Parameter {
  std::string name;  // optional; positional order is what counts
  DataType type = DataType::kVarChar;
  ParameterDirection direction = ParameterDirection::kInput;
  int32_t size = 0;
  Variant value;
};

class Command {
 public:
  ConnectionPtr active_connection;
  std::string command_text;  // procedure name or batch text
  CommandType command_type = CommandType::kText;
  std::vector<Parameter> parameters;

  Parameter& AddParameter(std::string name, DataType type, ParameterDirection direction,
                          int32_t size = 0, Variant value = Variant());

  // Runs the command. Output parameters receive their values; the result is the procedure's
  // first result set with columns (a closed recordset when it has none).
  RecordsetPtr Execute();

  // What Connection::ExecuteCommand does unless a backend binds parameters itself: runs
  // BuildBatch() on `connection` and reads the output parameters from its last result set.
  RecordsetPtr ExecuteAsBatch(Connection& connection);

  // The batch Execute sends for a stored procedure (exposed for tests and diagnostics).
  std::string BuildBatch() const;
};

// T-SQL literal of a value: N'text' with quotes doubled, plain decimal numbers, dates as
// 'yyyy-MM-dd HH:mm:ss', NULL for Null and Empty.
std::string SqlLiteral(const Variant& v);
// T-SQL type text of a parameter ("int", "nvarchar(255)", "decimal(28,10)" ...).
std::string SqlTypeName(DataType type, int32_t size);

}  // namespace ambit

#endif  // AMBIT_DATA_COMMAND_H_
