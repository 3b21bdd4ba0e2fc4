// PERCENTILE_CONT and PERCENTILE_DISC (p) WITHIN GROUP (ORDER BY x) OVER (PARTITION BY ...):
// window aggregates over the whole partition. The values are kept, sorted once when the first
// row asks, and answered for every row of the partition from the sorted list. NULLs take no
// part, as in SQL Server.
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

struct State {
  std::vector<sqlite3_value*> values;  // owned copies
  bool sorted = true;
  double p = 0;
  bool descending = false;
  ~State() {
    for (sqlite3_value* v : values) sqlite3_value_free(v);
  }
};

bool IsText(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_TEXT; }

std::string_view TextOf(sqlite3_value* v) {
  return {reinterpret_cast<const char*>(sqlite3_value_text(v)),
          static_cast<size_t>(sqlite3_value_bytes(v))};
}

// Numbers by value before text by the collation.
int Compare(sqlite3_value* a, sqlite3_value* b) {
  if (IsText(a) != IsText(b)) return IsText(a) ? 1 : -1;
  if (IsText(a)) return CompareText(TextOf(a), TextOf(b));
  double x = sqlite3_value_double(a), y = sqlite3_value_double(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

State* StateOf(sqlite3_context* ctx, bool create) {
  auto** slot =
      static_cast<State**>(sqlite3_aggregate_context(ctx, create ? sizeof(State*) : 0));
  if (slot == nullptr) return nullptr;
  if (*slot == nullptr && create) *slot = new State;
  return *slot;
}

// value, p, descending
void Step(sqlite3_context* ctx, int, sqlite3_value** argv) {
  State* s = StateOf(ctx, true);
  if (s == nullptr) return sqlite3_result_error_nomem(ctx);
  s->p = sqlite3_value_double(argv[1]);
  s->descending = sqlite3_value_int(argv[2]) != 0;
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  s->values.push_back(sqlite3_value_dup(argv[0]));
  s->sorted = false;
}

void Inverse(sqlite3_context* ctx, int, sqlite3_value** argv) {
  State* s = StateOf(ctx, false);
  if (s == nullptr || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  for (auto it = s->values.begin(); it != s->values.end(); ++it) {
    if (Compare(*it, argv[0]) == 0) {
      sqlite3_value_free(*it);
      s->values.erase(it);
      return;
    }
  }
}

void Sort(State* s) {
  if (s->sorted) return;
  std::stable_sort(s->values.begin(), s->values.end(), [s](sqlite3_value* a, sqlite3_value* b) {
    int c = Compare(a, b);
    return s->descending ? c > 0 : c < 0;
  });
  s->sorted = true;
}

bool CheckFraction(sqlite3_context* ctx, const State* s, const char* function) {
  if (s->p >= 0 && s->p <= 1) return true;
  std::string text = EncodeError(
      10744, std::string("The numeric value provided to function ") + function +
                 " is invalid. Value must be between 0.0 and 1.0.");
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
  return false;
}

// Interpolates between the two values around row 1 + p * (n - 1).
void ContValue(sqlite3_context* ctx) {
  State* s = StateOf(ctx, false);
  if (s == nullptr || s->values.empty()) return sqlite3_result_null(ctx);
  if (!CheckFraction(ctx, s, "PERCENTILE_CONT")) return;
  Sort(s);
  double row = s->p * static_cast<double>(s->values.size() - 1);
  size_t lo = static_cast<size_t>(std::floor(row)), hi = static_cast<size_t>(std::ceil(row));
  double a = sqlite3_value_double(s->values[lo]), b = sqlite3_value_double(s->values[hi]);
  sqlite3_result_double(ctx, lo == hi ? a : a + (b - a) * (row - static_cast<double>(lo)));
}

// The first value whose cumulative share of the rows reaches p.
void DiscValue(sqlite3_context* ctx) {
  State* s = StateOf(ctx, false);
  if (s == nullptr || s->values.empty()) return sqlite3_result_null(ctx);
  if (!CheckFraction(ctx, s, "PERCENTILE_DISC")) return;
  Sort(s);
  double rank = std::ceil(s->p * static_cast<double>(s->values.size()));
  size_t at = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
  sqlite3_result_value(ctx, s->values[std::min(at, s->values.size() - 1)]);
}

template <void (*ValueFn)(sqlite3_context*)>
void Final(sqlite3_context* ctx) {
  ValueFn(ctx);
  delete StateOf(ctx, false);
}

}  // namespace

void RegisterPercentiles(sqlite3* db) {
  int rc = sqlite3_create_window_function(db, "tsql_percentile_cont", 3, SQLITE_UTF8, nullptr,
                                          Step, Final<ContValue>, ContValue, Inverse, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_window_function(db, "tsql_percentile_disc", 3, SQLITE_UTF8, nullptr, Step,
                                        Final<DiscValue>, DiscValue, Inverse, nullptr);
  }
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register the percentiles: ") + sqlite3_errmsg(db));
  }
}

}  // namespace ambit::tsql::rt
