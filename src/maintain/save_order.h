// Saving the order editing screen's cache in one batch (header updates, line deletions,
// insertions and updates, totals recomputation), logging every changed field before the batch
// runs; and the invoicing mark toggle.
#ifndef AMBIT_MAINTAIN_SAVE_ORDER_H_
#define AMBIT_MAINTAIN_SAVE_ORDER_H_

#include <string>

#include "data/connection.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Markers of the line level of the edit cache: the key's presence is what counts.
inline constexpr char kInsertRowMarker[] = "Action_InsertRow\x02";
inline constexpr char kDeleteRowMarker[] = "Action_DeleteRow\x02";

// dctDataCache: FID -> { header column -> value, FEntryID (or -FIndex for a new line) ->
// { line column -> value, markers } }. Always answers "". Arms no error path: a failure reaches
// the caller as the failing part raised it, without Abort. Key and column names are checked
// before anything is logged or written.
std::string SaveOrder(Component& self, const std::string& sDsn,
                      const DictionaryPtr& dctDataCache);

// The statements of one cached line (delete, insert or update), starting with a line break;
// logs the change as it goes.
std::string BuildEntryChangeSql(Component& self, Connection& conn, const std::string& FID,
                                const std::string& line_key, const Dictionary& line);

// Moves the order freight to its first line, or recomputes the header totals from the lines.
std::string BuildOrderTotalsSql(const std::string& FID, bool freight_changed, double new_freight);

// The line's FItemID as text; "" when the statement gives no recordset, an error when the line
// does not exist.
std::string GetEntryItemID(Connection& conn, const std::string& FID, const std::string& entry_id);

// dctPara: "sDSN", "FID" (list). Gives every listed order whose FInnerInvoice is 0 the inverse
// of the first order's FInvoiceStatus, logging 1028 per order first when switched on.
bool InvoiceFlag(Component& self, const DictionaryPtr& dctPara);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_SAVE_ORDER_H_
