// Registration of the runtime, the calling convention between SQLite and the function families,
// and the few functions that belong to no family.
#include "tsql/runtime.h"

#include <sqlite3.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <random>

#include "base/com_error.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql {
namespace rt {

void Fail(int32_t number, std::string message) { throw SqlError{number, std::move(message)}; }

void FailConversion(std::string_view text, std::string_view type_name) {
  Fail(245, "Conversion failed when converting the varchar value '" + std::string(text) +
                "' to data type " + std::string(type_name) + ".");
}

namespace {

Value ReadValue(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      return Value::Int(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
      return Value::Real(sqlite3_value_double(v));
    case SQLITE_NULL:
      return Value{};
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(v));
      return Value::Blob(std::string(bytes ? bytes : "", sqlite3_value_bytes(v)));
    }
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      return Value::Text(std::string(text ? text : "", sqlite3_value_bytes(v)));
    }
  }
}

void SetResult(sqlite3_context* ctx, Value&& v) {
  switch (v.kind) {
    case Value::kNull:
      sqlite3_result_null(ctx);
      break;
    case Value::kInt:
      sqlite3_result_int64(ctx, v.i);
      break;
    case Value::kReal:
      sqlite3_result_double(ctx, v.r);
      break;
    case Value::kText:
      sqlite3_result_text64(ctx, v.s.data(), v.s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case Value::kBlob:
      sqlite3_result_blob64(ctx, v.s.data(), v.s.size(), SQLITE_TRANSIENT);
      break;
  }
}

void ResultError(sqlite3_context* ctx, const SqlError& e) {
  std::string text = EncodeError(e.number, e.message);
  sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
}

struct ScalarDef {
  ScalarFn fn;
  bool null_in_null_out;
};

// Reads v into *out, reusing the text buffer *out already owns.
void ReadInto(sqlite3_value* v, Value* out) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      out->kind = Value::kInt;
      out->i = sqlite3_value_int64(v);
      break;
    case SQLITE_FLOAT:
      out->kind = Value::kReal;
      out->r = sqlite3_value_double(v);
      break;
    case SQLITE_NULL:
      out->kind = Value::kNull;
      break;
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(v));
      out->kind = Value::kBlob;
      out->s.assign(bytes ? bytes : "", sqlite3_value_bytes(v));
      break;
    }
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
      out->kind = Value::kText;
      out->s.assign(text ? text : "", sqlite3_value_bytes(v));
    }
  }
}

// Argument vectors are reused per thread, one per argument count: functions run once per row,
// and most of their time would otherwise go to allocating argument copies. A nested call gets
// a fresh vector.
constexpr int kReusedArgCounts = 17;
thread_local std::array<Args, kReusedArgCounts> t_args;
thread_local bool t_args_busy = false;

void Trampoline(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* def = static_cast<const ScalarDef*>(sqlite3_user_data(ctx));
  if (def->null_in_null_out) {
    for (int i = 0; i < argc; ++i) {
      if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
      }
    }
  }
  Args nested;
  bool reuse = !t_args_busy && argc < kReusedArgCounts;
  Args& args = reuse ? t_args[argc] : nested;
  struct Release {
    bool active;
    ~Release() {
      if (active) t_args_busy = false;
    }
  } release{reuse};
  if (reuse) t_args_busy = true;
  try {
    args.resize(argc);
    for (int i = 0; i < argc; ++i) ReadInto(argv[i], &args[i]);
    SetResult(ctx, def->fn(args));
  } catch (const SqlError& e) {
    ResultError(ctx, e);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(ctx);
  } catch (const std::exception& e) {
    // Nothing may unwind through SQLite's C frames; a failure here is our bug, reported as such.
    ResultError(ctx, SqlError{err::kUnexpected, std::string("Internal error: ") + e.what()});
  }
}

void Check(sqlite3* db, int rc, const char* what) {
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register ") + what + ": " + sqlite3_errmsg(db));
  }
}

// --- functions of no family

Value NewId(const Args&) {
  thread_local std::mt19937_64 gen{std::random_device{}()};
  uint64_t hi = gen(), lo = gen();
  hi = (hi & ~0xF000ull) | 0x4000ull;                  // version 4
  lo = (lo & ~(0xC000ull << 48)) | (0x8000ull << 48);  // RFC 4122 variant
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(hi >> 32),
                static_cast<unsigned>((hi >> 16) & 0xFFFF), static_cast<unsigned>(hi & 0xFFFF),
                static_cast<unsigned>(lo >> 48),
                static_cast<unsigned long long>(lo & 0xFFFFFFFFFFFFull));
  return Value::Text(buf);
}

// Answers like a current server so that code choosing a path by major version takes the
// modern one.
Value ServerProperty(const Args& a) {
  std::string name = ToText(a[0]);
  if (EqualsNoCaseAscii(name, "productversion")) return Value::Text("15.0.2000.5");
  if (EqualsNoCaseAscii(name, "productmajorversion")) return Value::Text("15");
  if (EqualsNoCaseAscii(name, "productlevel")) return Value::Text("RTM");
  if (EqualsNoCaseAscii(name, "edition")) return Value::Text("Developer Edition (64-bit)");
  if (EqualsNoCaseAscii(name, "engineedition")) return Value::Int(3);
  if (EqualsNoCaseAscii(name, "collation")) {
    return Value::Text("SQL_Latin1_General_CP1_CI_AS");
  }
  return Value{};
}

Value Raise(const Args& a) {
  Fail(static_cast<int32_t>(ToInt(a[0])), a[1].is_null() ? "" : ToText(a[1]));
}

Value XmlEscape(const Args& a) {
  std::string in = ToText(a[0]), out;
  out.reserve(in.size());
  for (char c : in) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '\r':
        out += "&#x0D;";
        break;
      default:
        out += c;
    }
  }
  return Value::Text(std::move(out));
}

// --- tsql_string_agg: the aggregate context holds a pointer to a heap state, freed in final.

struct AggState {
  std::string text;
  bool any = false;
};

void AggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto** slot = static_cast<AggState**>(sqlite3_aggregate_context(ctx, sizeof(AggState*)));
  if (!slot) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (!*slot) *slot = new AggState;
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  Value v = ReadValue(argv[0]);
  if ((*slot)->any && argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL) {
    (*slot)->text += ToText(ReadValue(argv[1]));
  }
  (*slot)->text += ToText(v);
  (*slot)->any = true;
}

void AggFinal(sqlite3_context* ctx) {
  auto** slot = static_cast<AggState**>(sqlite3_aggregate_context(ctx, 0));
  AggState* state = slot ? *slot : nullptr;
  if (state && state->any) {
    sqlite3_result_text64(ctx, state->text.data(), state->text.size(), SQLITE_TRANSIENT,
                          SQLITE_UTF8);
  } else {
    sqlite3_result_null(ctx);
  }
  delete state;
}

void DeleteScalarDef(void* p) { delete static_cast<ScalarDef*>(p); }

// --- tsql_single: the value of a subquery used as an expression, which must have one row.

struct SingleState {
  sqlite3_value* value = nullptr;
  int64_t rows = 0;
};

void SingleStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* state = static_cast<SingleState*>(sqlite3_aggregate_context(ctx, sizeof(SingleState)));
  if (!state) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (++state->rows > 1) {
    std::string text =
        EncodeError(512,
                    "Subquery returned more than 1 value. This is not permitted when the subquery "
                    "follows =, !=, <, <= , >, >= or when the subquery is used as an expression.");
    sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
    return;
  }
  state->value = sqlite3_value_dup(argv[0]);
  if (!state->value) sqlite3_result_error_nomem(ctx);
}

void SingleFinal(sqlite3_context* ctx) {
  auto* state = static_cast<SingleState*>(sqlite3_aggregate_context(ctx, 0));
  if (state && state->value) {
    sqlite3_result_value(ctx, state->value);
    sqlite3_value_free(state->value);
  } else {
    sqlite3_result_null(ctx);
  }
}

}  // namespace

void AddScalar(sqlite3* db, const char* name, int min_args, int max_args, ScalarFn fn,
               bool null_in_null_out, bool deterministic) {
  // One definition per registration; SQLite frees it with the connection.
  auto* def = new ScalarDef{fn, null_in_null_out};
  int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
  for (int n = min_args; n <= max_args; ++n) {
    bool last = n == max_args;
    int rc = sqlite3_create_function_v2(db, name, n, flags, def, Trampoline, nullptr, nullptr,
                                        last ? DeleteScalarDef : nullptr);
    Check(db, rc, name);
  }
}

}  // namespace rt

std::string EncodeError(int32_t number, std::string_view message) {
  std::string out = "#" + std::to_string(number) + "|";
  out += message;
  return out;
}

bool DecodeError(std::string_view text, int32_t* number, std::string* message) {
  if (text.size() < 3 || text[0] != '#') return false;
  size_t bar = text.find('|');
  if (bar == std::string_view::npos) return false;
  int32_t n = 0;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + bar, n);
  if (ec != std::errc() || end != text.data() + bar) return false;
  *number = n;
  *message = std::string(text.substr(bar + 1));
  return true;
}

void RegisterRuntime(sqlite3* db) {
  using namespace rt;
  RegisterTextFunctions(db);
  RegisterTextCodeFunctions(db);
  RegisterNumberFunctions(db);
  RegisterDateFunctions(db);
  RegisterDatePartFunctions(db);
  RegisterConvertFunctions(db);
  RegisterLikeFunctions(db);
  RegisterSystemFunctions(db);
  RegisterSortedAggregates(db);
  RegisterPercentiles(db);
  RegisterRowFunctions(db);
  RegisterJsonFunctions(db);
  AddScalar(db, "tsql_newid", 0, 0, NewId, true, false);
  AddScalar(db, "tsql_serverproperty", 1, 1, ServerProperty);
  AddScalar(db, "tsql_raise", 2, 2, Raise, false);
  AddScalar(db, "tsql_xml_escape", 1, 1, XmlEscape);
  for (int n = 1; n <= 2; ++n) {
    Check(db,
          sqlite3_create_function_v2(db, "tsql_string_agg", n, SQLITE_UTF8, nullptr, nullptr,
                                     AggStep, AggFinal, nullptr),
          "tsql_string_agg");
  }
  Check(db,
        sqlite3_create_function_v2(db, "tsql_single", 1, SQLITE_UTF8, nullptr, nullptr, SingleStep,
                                   SingleFinal, nullptr),
        "tsql_single");
}

}  // namespace ambit::tsql
