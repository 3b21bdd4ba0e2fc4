// Planning of automatic batch assignment, apart from the database: given the lines that still
// need a batch (sorted by order and item) and the batches in stock (in the rule's order), which
// batch each line takes, which lines are cut into parts and how their money is shared out.
#ifndef AMBIT_STOCK_BATCH_PLAN_H_
#define AMBIT_STOCK_BATCH_PLAN_H_

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace ambit {

// Values of the "AutoBatchNo" system parameter.
namespace auto_batch {
inline constexpr int16_t kOff = 0;
inline constexpr int16_t kByExpiry = 1;         // earliest expiry first, lines may be cut
inline constexpr int16_t kByBatchNumber = 2;    // lowest batch number first, lines may be cut
inline constexpr int16_t kSmallestFitting = 3;  // smallest batch that holds the whole line
inline constexpr int16_t kOneBatchPerItem = 4;  // as 3, one batch for an order's whole item
}  // namespace auto_batch

struct StockBatch {
  int32_t item_id = 0;
  std::string batch_no;
  int32_t stock_id = 0;
  int32_t sp_id = 0;
  double qty = 0;  // available; lowered as the plan hands stock out
};

struct BatchLine {
  int32_t entry_id = 0;
  int32_t fid = 0;
  int32_t item_id = 0;
  int32_t stock_id = 0;  // 0: any warehouse
  int32_t sp_id = 0;
  double quantity = 0;
  double price = 0;
  double freight = 0;         // FBuyerFreight
  double discount = 0;        // FDiscountFee
  double after_discount = 0;  // FAfterDiscountAmount
};

// What one line receives from one batch. The first part of a line keeps the line's row; the
// others become new rows copied from it.
struct LinePart {
  int32_t source_entry_id = 0;
  bool keeps_row = false;
  std::string batch_no;  // empty for a rest no batch could cover
  int32_t stock_id = 0;
  int32_t sp_id = 0;
  double quantity = 0;
  double freight = 0;
  double discount = 0;
  double after_discount = 0;
  double amount = 0;  // price x quantity
};

struct BatchPlan {
  std::vector<LinePart> parts;        // lines that take no batch at all have none
  std::vector<int32_t> cut_entries;   // lines cut across batches, in plan order
  std::vector<std::string> log_lines; // reuse of an order's batch under rule 4
};

// Order's total quantity of an item still to place, by (FID, FItemID); read for rule 4 only.
using ItemTotals = std::map<std::pair<int32_t, int32_t>, double>;

// Plans `lines` against `batches` under `rule` (1 to 4), lowering the batches' quantities.
BatchPlan PlanBatches(int16_t rule, const std::vector<BatchLine>& lines,
                      std::vector<StockBatch>& batches, const ItemTotals& totals);

}  // namespace ambit

#endif  // AMBIT_STOCK_BATCH_PLAN_H_
