#include "frame/row_writer.h"

#include "data/command.h"
#include "frame/text_services.h"

namespace ambit {

int64_t InsertNewRows(Connection& conn, std::string_view table, const Recordset& rows,
                      int rows_per_batch) {
  StringBuilder sb;
  int in_batch = 0;
  int64_t written = 0;
  for (const Recordset::Row& row : rows.rows()) {
    std::string columns, values;
    for (size_t i = 0; i < row.size(); ++i) {
      if (row[i].IsNull() || row[i].IsEmpty()) continue;
      columns += (columns.empty() ? "" : ",") + std::string("[") + rows.fields()[i].name + "]";
      values += (values.empty() ? "" : ",") + SqlLiteral(row[i]);
    }
    if (columns.empty()) {
      sb.Append("insert into " + std::string(table) + " default values\r\n");
    } else {
      sb.Append("insert into " + std::string(table) + " (" + columns + ") values (" + values +
                ")\r\n");
    }
    ++written;
    if (++in_batch == rows_per_batch) {
      conn.Execute(sb.ToString());
      sb.Clear();
      in_batch = 0;
    }
  }
  if (in_batch > 0) conn.Execute(sb.ToString());
  return written;
}

}  // namespace ambit
