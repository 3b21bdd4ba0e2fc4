// DATEFROMPARTS and its kin: a date or time built from integer fields. A field out of its
// type's range is error 289 naming the type, never a rollover into the next field as DATEADD
// would do. The results travel in the canonical date texts (runtime.h), so a datetime2 or time
// keeps milliseconds: finer fractions are cut there.
#include <cmath>
#include <string>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

[[noreturn]] void FailParts(std::string_view type) {
  Fail(289, "Cannot construct data type " + std::string(type) +
                ", some of the arguments have values which are not valid.");
}

// An argument as a field; a value beyond int can never be valid.
int Field(const Value& v, std::string_view type) {
  int64_t n = ToInt(v);
  if (n < -1000000 || n > 1000000000) FailParts(type);
  return static_cast<int>(n);
}

DateTime Build(const Args& a, size_t count, std::string_view type, int ms = 0) {
  int f[6] = {0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < count; ++i) f[i] = Field(a[i], type);
  std::optional<DateTime> t = FromCivil(f[0], f[1], f[2], f[3], f[4], f[5], ms);
  if (!t) FailParts(type);
  return *t;
}

// Milliseconds of `fractions` counted in units of 10^-precision; 289 when they make a second or
// more.
int FractionMs(const Value& fractions, const Value& precision, std::string_view type) {
  int64_t p = ToInt(precision);
  if (p < 0 || p > 7) Fail(1002, "Line 1: Specified scale " + std::to_string(p) + " is invalid.");
  int64_t f = ToInt(fractions);
  int64_t unit = 1;
  for (int64_t i = 0; i < p; ++i) unit *= 10;
  if (f < 0 || f >= unit) FailParts(type);
  return static_cast<int>(p <= 3 ? f * (1000 / unit) : f / (unit / 1000));
}

Value DateFromParts(const Args& a) {
  return Value::Text(FormatDateTime(Build(a, 3, "date")).substr(0, 10));
}

Value DateTimeFromParts(const Args& a) {
  int ms = Field(a[6], "datetime");
  if (ms < 0 || ms > 999) FailParts("datetime");
  DateTime t = Build(a, 6, "datetime");
  if (ToCivil(t).year < 1753) FailParts("datetime");
  // datetime keeps time in 1/300 seconds, as a conversion to it rounds.
  t.ms += std::llround(static_cast<double>(std::llround(ms * 0.3)) / 0.3);
  return Value::Text(FormatDateTime(t));
}

Value DateTime2FromParts(const Args& a) {
  DateTime t = Build(a, 6, "datetime2", FractionMs(a[6], a[7], "datetime2"));
  return Value::Text(FormatDateTime(t));
}

Value SmallDateTimeFromParts(const Args& a) {
  DateTime t = Build(a, 5, "smalldatetime");
  static const int64_t kLast = (DaysFromCivil(2079, 6, 6) + 1) * kMsPerDay;
  if (t.ms < 0 || t.ms >= kLast) FailParts("smalldatetime");
  return Value::Text(FormatDateTime(t));
}

Value TimeFromParts(const Args& a) {
  int ms = FractionMs(a[3], a[4], "time");
  Args fields = {Value::Int(1900), Value::Int(1), Value::Int(1), a[0], a[1], a[2]};
  return Value::Text(FormatDateTime(Build(fields, 6, "time", ms)).substr(11));
}

}  // namespace

void RegisterDatePartFunctions(sqlite3* db) {
  AddScalar(db, "tsql_datefromparts", 3, 3, DateFromParts);
  AddScalar(db, "tsql_datetimefromparts", 7, 7, DateTimeFromParts);
  AddScalar(db, "tsql_datetime2fromparts", 8, 8, DateTime2FromParts);
  AddScalar(db, "tsql_smalldatetimefromparts", 5, 5, SmallDateTimeFromParts);
  AddScalar(db, "tsql_timefromparts", 5, 5, TimeFromParts);
}

}  // namespace ambit::tsql::rt
