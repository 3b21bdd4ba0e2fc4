// STRING_AGG(value, separator) WITHIN GROUP (ORDER BY ...): SQLite's aggregates take rows in
// whatever order the plan gives them, so the rows are kept with their sort keys and joined in
// key order at the end. Keys compare as SQL Server sorts: NULL first, numbers by value, text
// by the TSQL collation.
#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

struct Key {
  int type = SQLITE_NULL;
  double number = 0;
  std::string text;
  bool descending = false;
};

struct Row {
  std::vector<Key> keys;
  std::string value;
  std::string separator;
};

struct SortedState {
  std::vector<Row> rows;
};

int CompareKeys(const Key& a, const Key& b) {
  bool a_null = a.type == SQLITE_NULL, b_null = b.type == SQLITE_NULL;
  if (a_null || b_null) return a_null == b_null ? 0 : (a_null ? -1 : 1);
  bool a_text = a.type == SQLITE_TEXT, b_text = b.type == SQLITE_TEXT;
  if (a_text && b_text) return CompareText(a.text, b.text);
  if (!a_text && !b_text) return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  return a_text ? 1 : -1;  // mixed: numbers before text
}

void Step(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto** slot = static_cast<SortedState**>(sqlite3_aggregate_context(ctx, sizeof(SortedState*)));
  if (slot == nullptr) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (*slot == nullptr) *slot = new SortedState;
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  Row row;
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
      row.value = ToText(Value::Int(sqlite3_value_int64(argv[0])));
      break;
    case SQLITE_FLOAT:
      row.value = ToText(Value::Real(sqlite3_value_double(argv[0])));
      break;
    default:
      row.value = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  }
  if (sqlite3_value_type(argv[1]) != SQLITE_NULL) {
    row.separator = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  }
  for (int i = 2; i + 1 < argc; i += 2) {
    Key key;
    key.type = sqlite3_value_type(argv[i]);
    if (key.type == SQLITE_TEXT) {
      key.text = reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
    } else if (key.type != SQLITE_NULL) {
      key.number = sqlite3_value_double(argv[i]);
    }
    key.descending = sqlite3_value_int(argv[i + 1]) != 0;
    row.keys.push_back(std::move(key));
  }
  (*slot)->rows.push_back(std::move(row));
}

void Final(sqlite3_context* ctx) {
  auto** slot = static_cast<SortedState**>(sqlite3_aggregate_context(ctx, 0));
  SortedState* state = slot ? *slot : nullptr;
  if (state == nullptr || state->rows.empty()) {
    sqlite3_result_null(ctx);
    delete state;
    return;
  }
  std::stable_sort(state->rows.begin(), state->rows.end(), [](const Row& a, const Row& b) {
    for (size_t i = 0; i < a.keys.size(); ++i) {
      int c = CompareKeys(a.keys[i], b.keys[i]);
      if (c != 0) return a.keys[i].descending ? c > 0 : c < 0;
    }
    return false;
  });
  std::string out;
  for (size_t i = 0; i < state->rows.size(); ++i) {
    if (i) out += state->rows[i].separator;
    out += state->rows[i].value;
  }
  sqlite3_result_text64(ctx, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  delete state;
}

}  // namespace

void RegisterSortedAggregates(sqlite3* db) {
  // value, separator, then a key and its direction (1 for DESC) per ORDER BY term.
  for (int keys = 1; keys <= 8; ++keys) {
    int rc = sqlite3_create_function_v2(db, "tsql_string_agg_sorted", 2 + 2 * keys, SQLITE_UTF8,
                                        nullptr, nullptr, Step, Final, nullptr);
    if (rc != SQLITE_OK) {
      throw ComError(err::kUnexpected, kErrorSource,
                     std::string("Cannot register tsql_string_agg_sorted: ") +
                         sqlite3_errmsg(db));
    }
  }
}

}  // namespace ambit::tsql::rt
