// Running a data change that has an OUTPUT clause: its RETURNING rows become a result set, or
// rows of the INTO table.
#include "base/com_error.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

int64_t Interpreter::RunChange(const OutputClause* output, const EmittedSql& sql) {
  if (output == nullptr) return session_->db().Exec(sql.sql, Bind(sql.params));
  RecordsetPtr rs = session_->db().Query(sql.sql, Bind(sql.params));
  auto rows = static_cast<int64_t>(rs->rows().size());
  if (output->into.empty()) {
    results_->push_back(rs);
    return rows;
  }
  std::string insert = "INSERT INTO " + Emitter::TableName(output->into);
  if (!output->into_columns.empty()) {
    insert += " (";
    for (size_t i = 0; i < output->into_columns.size(); ++i) {
      insert += (i ? ", " : "") + Emitter::QuoteName(output->into_columns[i]);
    }
    insert += ")";
  }
  insert += " VALUES (";
  for (int i = 0; i < rs->FieldCount(); ++i) insert += (i ? ", ?" : "?") + std::to_string(i + 1);
  insert += ")";
  for (const Recordset::Row& row : rs->rows()) session_->db().Exec(insert, row);
  return rows;
}

}  // namespace ambit::tsql
