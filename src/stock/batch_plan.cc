#include "stock/batch_plan.h"

#include <unordered_map>

namespace ambit {
namespace {

// Shares of a line's money among its parts. A part split off with quantity q takes
// value x q / Q; the part that takes the rest r takes value - value x (Q - r) / Q, so the parts
// add up to the line's value exactly whatever the split-off shares came to.
struct MoneySplitter {
  const BatchLine& line;
  std::vector<LinePart>& out;
  bool first = true;

  void Add(const std::string& batch_no, int32_t stock_id, int32_t sp_id, double q, bool rest) {
    const double whole = line.quantity;
    auto share = [&](double value) {
      return rest ? value - value * (whole - q) / whole : value * q / whole;
    };
    LinePart part;
    part.source_entry_id = line.entry_id;
    part.keeps_row = first;
    part.batch_no = batch_no;
    part.stock_id = stock_id;
    part.sp_id = sp_id;
    part.quantity = q;
    part.freight = share(line.freight);
    part.discount = share(line.discount);
    part.after_discount = share(line.after_discount);
    part.amount = line.price * q;
    out.push_back(std::move(part));
    first = false;
  }
};

bool Qualifies(const StockBatch& b, const BatchLine& line) {
  return b.qty > 0 && b.item_id == line.item_id &&
         (b.stock_id == line.stock_id || line.stock_id == 0);
}

}  // namespace

BatchPlan PlanBatches(int16_t rule, const std::vector<BatchLine>& lines,
                      std::vector<StockBatch>& batches, const ItemTotals& totals) {
  BatchPlan plan;
  // Batches of each item in the rule's order, so a line walks only its own item's batches.
  std::unordered_map<int32_t, std::vector<size_t>> by_item;
  for (size_t i = 0; i < batches.size(); ++i) by_item[batches[i].item_id].push_back(i);
  // Rule 4: the batch chosen for an order's item.
  std::map<std::pair<int32_t, int32_t>, size_t> chosen;
  static const std::vector<size_t> kNone;

  for (const BatchLine& line : lines) {
    if (line.quantity <= 0) continue;
    auto found = by_item.find(line.item_id);
    const std::vector<size_t>& candidates = found == by_item.end() ? kNone : found->second;
    MoneySplitter parts{line, plan.parts};
    double rest = line.quantity;

    if (rule == auto_batch::kSmallestFitting || rule == auto_batch::kOneBatchPerItem) {
      const auto key = std::make_pair(line.fid, line.item_id);
      double need = rest;
      long pick = -1;
      if (rule == auto_batch::kOneBatchPerItem) {
        auto it = chosen.find(key);
        if (it != chosen.end()) {
          pick = static_cast<long>(it->second);
          const StockBatch& b = batches[it->second];
          plan.log_lines.push_back("FillBatchNo: line " + std::to_string(line.entry_id) +
                                   " of order " + std::to_string(line.fid) + " takes batch " +
                                   b.batch_no + " of item " + std::to_string(line.item_id) +
                                   ", chosen for the order's earlier line of that item");
        } else {
          auto total = totals.find(key);
          if (total != totals.end()) need = total->second;
        }
      }
      if (pick < 0) {
        for (size_t i : candidates) {
          if (Qualifies(batches[i], line) && batches[i].qty >= need) {
            pick = static_cast<long>(i);
            break;
          }
        }
        if (pick >= 0 && rule == auto_batch::kOneBatchPerItem)
          chosen[key] = static_cast<size_t>(pick);
      }
      if (pick < 0) continue;  // no batch holds it: the line stays as it is
      StockBatch& b = batches[static_cast<size_t>(pick)];
      parts.Add(b.batch_no, b.stock_id, b.sp_id, rest, true);
      b.qty -= rest;
      continue;
    }

    // Rules 1 and 2: fill from the batches in order, cutting the line where one runs out.
    bool cut = false;
    for (size_t i : candidates) {
      StockBatch& b = batches[i];
      if (!Qualifies(b, line)) continue;
      if (b.qty >= rest) {
        parts.Add(b.batch_no, b.stock_id, b.sp_id, rest, true);
        b.qty -= rest;
        rest = 0;
        break;
      }
      parts.Add(b.batch_no, b.stock_id, b.sp_id, b.qty, false);
      rest -= b.qty;
      b.qty = 0;
      cut = true;
    }
    // What no batch covers stays a part of its own, in the line's warehouse without a batch.
    if (rest > 0 && cut) parts.Add("", line.stock_id, line.sp_id, rest, true);
    if (cut) plan.cut_entries.push_back(line.entry_id);
  }
  return plan;
}

}  // namespace ambit
