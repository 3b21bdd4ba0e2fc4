// The statements that fold one group of agreeing orders into its survivor, and the small list
// helpers the merge methods share. FID lists are comma-separated texts of checked integer keys.
#ifndef AMBIT_MERGE_MERGE_GROUPS_H_
#define AMBIT_MERGE_MERGE_GROUPS_H_

#include <cstdint>
#include <string>
#include <unordered_map>

#include "data/connection.h"
#include "frame/collections.h"

namespace ambit {

// Every non-empty FID of every item, each followed by " ,", the very last character removed
// ("1 ,2 ,3 "). Each FID must be an integer (ComError 5 otherwise).
std::string BuildFIDList(const VectorPtr& items);

// FID -> FStockID of the first line row the database returns for each order. Orders without
// lines are absent.
std::unordered_map<std::string, std::string> GetOrderStockMap(Connection& conn,
                                                              const std::string& list);

// The list without repeated FIDs, first occurrences kept in order ("" for "").
std::string DistinctFIDList(const std::string& list);

// The database server's major version (15 for the embedded engine).
int16_t GetSqlServerMajorVersion(Connection& conn);

// Folds the group into its first FID and answers it; "" (and nothing done) for fewer than two
// FIDs. The survivor takes the sums, the joined messages and the others' lines; the others go.
// A group whose orders no longer all exist is a ComError, so the call's transaction is undone.
std::string MergeOrderGroup(Connection& conn, const std::string& list);

// The same with the order holding a home-improvement service line as survivor; "" and nothing
// done when no order of the group has one.
std::string MergeOrderGroupZJ(Connection& conn, const std::string& list);

// Removes the operation log of the listed orders (merged away); nothing for "".
void DeleteMergedOrderLogs(Connection& conn, const std::string& list);

}  // namespace ambit

#endif  // AMBIT_MERGE_MERGE_GROUPS_H_
