// Automatic batch assignment (AmbitOrderUpdate.FillBatchNo): the lines of the given orders that
// have no batch take one from the batches in stock by the account's "AutoBatchNo" rule; a line
// one batch cannot cover is cut into one line per batch with its money shared out by quantity.
#ifndef AMBIT_STOCK_BATCH_FILL_H_
#define AMBIT_STOCK_BATCH_FILL_H_

#include <cstdint>
#include <string>

#include "data/connection.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// `AutoBatchNo` is the calling object's setting: read at every call, and left as it was when
// the account has no "AutoBatchNo" row. Answers "disabled" when the rule is 0, the order
// numbers of the cut lines (" ,"-separated, shortened to 400 characters and "..." past 500), or
// the empty text. vctOrderInfo items that are not numbers above 0 are skipped; dctPara is
// accepted for callers' sake and not read.
std::string FillBatchNo(Component& self, int16_t& AutoBatchNo, const std::string& sDsn,
                        const VectorPtr& vctOrderInfo, const DictionaryPtr& dctPara);

// Reads "AutoBatchNo" (NULL as 0) into `AutoBatchNo`; no row leaves it unchanged.
void LoadAutoBatchNoSetting(Connection& conn, int16_t& AutoBatchNo);

// Plans and writes the batches of the lines in `sEntryIDs` (keys separated by ","), which then
// holds the result text. The statements go out in one batch after planning, so a failure while
// planning writes nothing; failures are raised. Rule 4 reports each reuse of an order's batch
// to the host's message log once the statements have run.
void AssignBatchesToLines(Connection& conn, int16_t AutoBatchNo, std::string& sEntryIDs,
                          const DictionaryPtr& dctPara);

}  // namespace ambit

#endif  // AMBIT_STOCK_BATCH_FILL_H_
