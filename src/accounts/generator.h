// Large, realistic accounts for benchmarks and load tests: many orders of several shops, one to
// five lines each, in every processing state, buyers with several orders, refunds. The same
// seed always gives the same account.
#ifndef AMBIT_ACCOUNTS_GENERATOR_H_
#define AMBIT_ACCOUNTS_GENERATOR_H_

#include <cstdint>
#include <functional>

#include "accounts/reference_data.h"
#include "backends/sqlite/sqlite_connection.h"

namespace ambit {

// How orders spread over the processing states.
enum class StateMix {
  // A shop's account as it is: most orders reviewed and shipped, a few percent awaiting
  // review, payment or a decision.
  kRealistic,
  // A back office on its busiest day, far behind: nearly half the orders await review. The
  // mix accounts had before kRealistic; the same seed gives the same account as then.
  kBusy,
};

struct GenerateOptions {
  int64_t orders = 1000;
  StateMix mix = StateMix::kRealistic;
  uint64_t seed = 20261206;
  // Called now and then with the orders written so far.
  std::function<void(int64_t done, int64_t total)> progress;
};

struct GenerateStats {
  int64_t orders = 0;
  int64_t lines = 0;
  int64_t refunds = 0;
};

// Appends orders after the account's largest FID. Writes through the embedded engine's
// database directly with prepared statements, in one transaction: the T-SQL path would parse
// every row's statement anew.
GenerateStats GenerateOrders(SqliteConnection& conn, const ReferenceData& ref,
                             const GenerateOptions& options);

}  // namespace ambit

#endif  // AMBIT_ACCOUNTS_GENERATOR_H_
