// Recordsets as JSON, the form clients of the server and `--json` output receive:
//   {"columns": [{"name": "FID", "type": "int"}, ...], "rows": [[1, "x"], ...]}
// Dates as "yyyy-MM-dd HH:mm:ss"; decimals rounded to the column's declared scale.
#ifndef AMBIT_DATA_RECORDSET_JSON_H_
#define AMBIT_DATA_RECORDSET_JSON_H_

#include <nlohmann/json.hpp>

#include "base/variant.h"
#include "data/json_text.h"
#include "data/recordset.h"

namespace ambit {

// Scalars only; objects are the caller's business (the frame layer converts collections).
nlohmann::ordered_json ScalarToJson(const Variant& v);
void WriteScalarJson(const Variant& v, JsonText& out);

// Only the rows the filter lets through; a closed recordset is {"closed": true}. The text form
// is the one answers are written in (row by row, flushing as it goes); the tree is built from it.
void WriteRecordsetJson(const Recordset& rs, JsonText& out, int depth = 0);
nlohmann::ordered_json RecordsetToJson(const Recordset& rs);

}  // namespace ambit

#endif  // AMBIT_DATA_RECORDSET_JSON_H_
