// Default column layouts of the workbench grids (which field, where, how wide, aligned how),
// read from IC_Web2ColumnsDefaultSet by the AmbitColumnsSet class.
#ifndef AMBIT_COLUMNS_COLUMN_DEFAULTS_H_
#define AMBIT_COLUMNS_COLUMN_DEFAULTS_H_

#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// The saved columns matching the keys of dctPara that count ("FCLASSTYPEID", "FIndex",
// "FWidth", "FAlign" when not 0; "FListName", "FKey" when not empty), in position order, each
// with FMustInput of its field. Class type 1014301 has no field table: its rows all carry
// FMustInput 0. A number key holding no number is refused. Nothing without "sDSN".
RecordsetPtr GetColumnsDefaultSet(Component& self, const DictionaryPtr& dctPara);

// The full layout of one grid (dctPara "FCLASSTYPEID" and "FListName"): its saved columns in
// position order, then every visible field of the bill type the grid lacks, with list name
// "fpVerified", position 0, width 10 and alignment 1, in page and field-name order.
// The result is keyed by the 1-based row number as text ("1", "2", ...); each value is a
// Dictionary with FClassTypeID, FListName, FIndex, FKey, FWidth and FAlign. Nothing when
// "sDSN", "FCLASSTYPEID" or "FListName" is missing.
DictionaryPtr GetAllColumnsDefaultSet(Component& self, const DictionaryPtr& dctPara);

}  // namespace ambit

#endif  // AMBIT_COLUMNS_COLUMN_DEFAULTS_H_
