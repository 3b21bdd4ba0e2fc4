#include "tsql/session_functions.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "base/com_error.h"
#include "tsql/runtime.h"

namespace ambit::tsql {

Variant FromValue(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return Variant(static_cast<int64_t>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
      return Variant(sqlite3_value_double(v));
    case SQLITE_NULL:
      return Variant::Null();
    default:
      return Variant(std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                 sqlite3_value_bytes(v)));
  }
}

namespace {

void SetResult(sqlite3_context* ctx, const Variant& v) {
  switch (v.type()) {
    case VarType::kLongLong:
      sqlite3_result_int64(ctx, v.longlong_value());
      break;
    case VarType::kLong:
      sqlite3_result_int64(ctx, v.long_value());
      break;
    case VarType::kInteger:
      sqlite3_result_int64(ctx, v.int_value());
      break;
    case VarType::kBoolean:
      sqlite3_result_int64(ctx, v.bool_value() ? 1 : 0);
      break;
    case VarType::kDouble:
      sqlite3_result_double(ctx, v.double_value());
      break;
    case VarType::kString:
      sqlite3_result_text(ctx, v.string_value().data(),
                          static_cast<int>(v.string_value().size()), SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_result_null(ctx);
  }
}

std::vector<Variant>* Slots(sqlite3_context* ctx) {
  return static_cast<std::vector<Variant>*>(sqlite3_user_data(ctx));
}

void GetVar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* slots = Slots(ctx);
  int64_t i = sqlite3_value_int64(argv[0]);
  if (i < 0 || static_cast<size_t>(i) >= slots->size()) {
    sqlite3_result_null(ctx);
    return;
  }
  SetResult(ctx, (*slots)[i]);
}

void SetVar(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* slots = Slots(ctx);
  int64_t i = sqlite3_value_int64(argv[0]);
  if (i >= 0 && static_cast<size_t>(i) < slots->size()) (*slots)[i] = FromValue(argv[1]);
  sqlite3_result_value(ctx, argv[1]);
}

// tsql_single(v): the one value of a scalar subquery; a second row is SQL Server's error 512.
struct SingleState {
  sqlite3_value* value;
  int64_t count;
};

void SingleStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* s = static_cast<SingleState*>(sqlite3_aggregate_context(ctx, sizeof(SingleState)));
  if (s == nullptr) return;
  if (++s->count == 1) {
    s->value = sqlite3_value_dup(argv[0]);
    return;
  }
  std::string message = EncodeError(
      512, "Subquery returned more than 1 value. This is not permitted when the subquery follows "
           "=, !=, <, <= , >, >= or when the subquery is used as an expression.");
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

void SingleFinal(sqlite3_context* ctx) {
  auto* s = static_cast<SingleState*>(sqlite3_aggregate_context(ctx, 0));
  if (s == nullptr || s->value == nullptr) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_value(ctx, s->value);
  sqlite3_value_free(s->value);
  s->value = nullptr;
}

struct AvgState {
  double real_sum;
  int64_t int_sum;
  int64_t count;
  int all_integers;  // 0 once a non-integer was seen; state starts zeroed by SQLite
  int started;
};

void AvgStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* s = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, sizeof(AvgState)));
  if (s == nullptr) return;
  if (!s->started) {
    s->started = 1;
    s->all_integers = 1;
  }
  int type = sqlite3_value_numeric_type(argv[0]);
  if (type == SQLITE_NULL) return;
  if (type == SQLITE_INTEGER) {
    s->int_sum += sqlite3_value_int64(argv[0]);
  } else {
    s->all_integers = 0;
  }
  s->real_sum += sqlite3_value_double(argv[0]);
  ++s->count;
}

void AvgFinal(sqlite3_context* ctx) {
  auto* s = static_cast<AvgState*>(sqlite3_aggregate_context(ctx, 0));
  if (s == nullptr || s->count == 0) {
    sqlite3_result_null(ctx);
    return;
  }
  if (s->all_integers) {
    sqlite3_result_int64(ctx, s->int_sum / s->count);
  } else {
    sqlite3_result_double(ctx, s->real_sum / static_cast<double>(s->count));
  }
}

}  // namespace

void RegisterSessionFunctions(sqlite3* db, std::vector<Variant>* slots) {
  int rc = sqlite3_create_function_v2(db, "tsql_getvar", 1, SQLITE_UTF8, slots, GetVar, nullptr,
                                      nullptr, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_setvar", 2, SQLITE_UTF8, slots, SetVar, nullptr,
                                    nullptr, nullptr);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                    nullptr, nullptr, AvgStep, AvgFinal, nullptr);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_single", 1, SQLITE_UTF8, nullptr, nullptr,
                                    SingleStep, SingleFinal, nullptr);
  }
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register the session functions: ") + sqlite3_errstr(rc));
  }
}

}  // namespace ambit::tsql
