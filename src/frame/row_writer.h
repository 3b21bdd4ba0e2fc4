// Writes the rows added to a recordset (AddNew) into a table, the way an updatable recordset
// opened with "Select * from T Where 1=2" stores its new rows. Fields left Null are not named,
// so identities and column defaults apply.
#ifndef AMBIT_FRAME_ROW_WRITER_H_
#define AMBIT_FRAME_ROW_WRITER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "data/connection.h"

namespace ambit {

// Inserts every row of `rows` into `table`, `rows_per_batch` INSERT statements per Execute.
// Answers the number of rows written.
int64_t InsertNewRows(Connection& conn, std::string_view table, const Recordset& rows,
                      int rows_per_batch = 200);

}  // namespace ambit

#endif  // AMBIT_FRAME_ROW_WRITER_H_
