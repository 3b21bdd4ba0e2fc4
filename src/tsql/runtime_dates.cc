// Dates: the text forms SQL Server reads, the one form dates travel in, and GETDATE, DATEADD,
// DATEDIFF, DATEPART and their relatives.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "base/conversions.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};
constexpr const char* kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads up to max_digits digits at s[*pos]; false when there is none.
bool ReadNumber(std::string_view s, size_t* pos, int max_digits, int* out, int* count = nullptr) {
  int n = 0, value = 0;
  while (*pos < s.size() && IsDigit(s[*pos]) && n < max_digits) {
    value = value * 10 + (s[*pos] - '0');
    ++*pos;
    ++n;
  }
  if (count) *count = n;
  *out = value;
  return n > 0;
}

// "HH:mm[:ss[.fff]][ AM|PM]" at s[pos..]; the rest of the text must be blank.
bool ParseTime(std::string_view s, size_t pos, int* hh, int* mi, int* ss, int* ms) {
  *hh = *mi = *ss = *ms = 0;
  if (!ReadNumber(s, &pos, 2, hh)) return false;
  if (pos >= s.size() || s[pos] != ':') return false;
  ++pos;
  if (!ReadNumber(s, &pos, 2, mi)) return false;
  if (pos < s.size() && s[pos] == ':') {
    ++pos;
    if (!ReadNumber(s, &pos, 2, ss)) return false;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ':')) {
      ++pos;
      int digits = 0, frac = 0;
      ReadNumber(s, &pos, 7, &frac, &digits);
      if (digits == 0) return false;
      double scaled = frac;
      for (int k = digits; k < 3; ++k) scaled *= 10;
      for (int k = 3; k < digits; ++k) scaled /= 10;
      *ms = static_cast<int>(scaled);  // datetime2 fractions beyond ms are dropped
      if (*ms > 999) *ms = 999;
    }
  }
  while (pos < s.size() && s[pos] == ' ') ++pos;
  if (pos + 2 <= s.size()) {
    std::string_view suffix = s.substr(pos, 2);
    bool pm = EqualsNoCaseAscii(suffix, "PM");
    if (pm || EqualsNoCaseAscii(suffix, "AM")) {
      if (*hh > 12 || *hh == 0) return false;
      if (*hh == 12) *hh = 0;
      if (pm) *hh += 12;
      pos += 2;
    }
  }
  while (pos < s.size() && s[pos] == ' ') ++pos;
  return pos == s.size();
}

int MonthFromName(std::string_view s) {
  if (s.size() < 3) return 0;
  for (int m = 0; m < 12; ++m) {
    std::string_view full = kMonthNames[m];
    if (s.size() <= full.size() && EqualsNoCaseAscii(s, full.substr(0, s.size()))) return m + 1;
  }
  return 0;
}

// "Dec 5 2026 [time]", "December 5, 2026", "5 Dec 2026" (the forms CONVERT style 0 writes).
std::optional<DateTime> ParseNamedMonth(std::string_view s) {
  size_t pos = 0;
  auto word = [&]() {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == ',')) ++pos;
    size_t start = pos;
    while (pos < s.size() && s[pos] != ' ' && s[pos] != ',') ++pos;
    return s.substr(start, pos - start);
  };
  std::string_view a = word(), b = word(), c = word();
  int month = MonthFromName(a), day = 0, year = 0;
  auto number = [](std::string_view t, int* out) {
    size_t p = 0;
    return ReadNumber(t, &p, 4, out) && p == t.size();
  };
  if (month != 0) {
    if (!number(b, &day) || !number(c, &year)) return std::nullopt;
  } else {
    month = MonthFromName(b);
    if (month == 0 || !number(a, &day) || !number(c, &year)) return std::nullopt;
  }
  while (pos < s.size() && s[pos] == ' ') ++pos;
  int hh = 0, mi = 0, ss = 0, ms = 0;
  if (pos < s.size() && !ParseTime(s, pos, &hh, &mi, &ss, &ms)) return std::nullopt;
  return FromCivil(year, month, day, hh, mi, ss, ms);
}

}  // namespace

// The platform's serial dates count from 1899-12-30, two days before this engine's day zero.
constexpr int64_t kSerialOffset = 2;

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  return static_cast<int64_t>(
             MakeDate(static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)).serial) -
         kSerialOffset;
}

void CivilFromDays(int64_t days, int* y, int* m, int* d) {
  DateParts p = SplitDate(Date{static_cast<double>(days + kSerialOffset)});
  *y = p.year;
  *m = p.month;
  *d = p.day;
}

Civil ToCivil(DateTime t) {
  int64_t days = t.ms >= 0 ? t.ms / kMsPerDay : -((-t.ms + kMsPerDay - 1) / kMsPerDay);
  int64_t rest = t.ms - days * kMsPerDay;
  Civil c{};
  CivilFromDays(days, &c.year, &c.month, &c.day);
  c.hour = static_cast<int>(rest / 3600000);
  c.minute = static_cast<int>(rest / 60000 % 60);
  c.second = static_cast<int>(rest / 1000 % 60);
  c.millisecond = static_cast<int>(rest % 1000);
  return c;
}

std::optional<DateTime> FromCivil(int y, int m, int d, int hh, int mi, int ss, int ms) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
  if (hh < 0 || hh > 23 || mi < 0 || mi > 59 || ss < 0 || ss > 59 || ms < 0 || ms > 999) {
    return std::nullopt;
  }
  return DateTime{DaysFromCivil(y, m, d) * kMsPerDay + hh * 3600000LL + mi * 60000LL + ss * 1000LL +
                  ms};
}

std::optional<DateTime> ParseDateText(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty()) return std::nullopt;
  if (!IsDigit(s[0])) return ParseNamedMonth(s);
  size_t pos = 0;
  int a = 0, count = 0;
  ReadNumber(s, &pos, 8, &a, &count);
  int y = 0, m = 0, d = 0;
  if (count == 8 || (count == 6 && (pos == s.size() || s[pos] == ' ' || s[pos] == 'T'))) {
    // yyyyMMdd (or yyMMdd)
    y = count == 8 ? a / 10000 : 2000 + a / 10000;
    if (count == 6 && y > 2049) y -= 100;
    m = a / 100 % 100;
    d = a % 100;
  } else if (pos < s.size() && s[pos] == ':') {
    // A time alone is that time on 1900-01-01.
    int hh, mi, ss, ms;
    if (!ParseTime(s, 0, &hh, &mi, &ss, &ms)) return std::nullopt;
    return FromCivil(1900, 1, 1, hh, mi, ss, ms);
  } else if (pos < s.size() && (s[pos] == '-' || s[pos] == '/' || s[pos] == '.')) {
    char sep = s[pos++];
    int b = 0, c = 0, c_count = 0;
    if (!ReadNumber(s, &pos, 2, &b)) {
      // "5 Dec 2026"-like forms never get here; "2026-Dec-05" is not worth reading.
      return std::nullopt;
    }
    if (pos >= s.size() || s[pos] != sep) return std::nullopt;
    ++pos;
    if (!ReadNumber(s, &pos, 4, &c, &c_count)) return std::nullopt;
    if (count == 4) {
      y = a, m = b, d = c;  // ymd whenever the year comes first
    } else {
      m = a, d = b, y = c;  // us_english reads mdy
      if (c_count == 2) y += y < 50 ? 2000 : 1900;
    }
  } else if (count == 4 && pos == s.size()) {
    y = a, m = 1, d = 1;  // a year alone is its first day
  } else if (pos < s.size() && s[pos] == ' ') {
    return ParseNamedMonth(s);
  } else {
    return std::nullopt;
  }
  int hh = 0, mi = 0, ss = 0, ms = 0;
  if (pos < s.size()) {
    if (s[pos] != ' ' && s[pos] != 'T') return std::nullopt;
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == 'T')) ++pos;
    if (pos < s.size() && !ParseTime(s, pos, &hh, &mi, &ss, &ms)) return std::nullopt;
  }
  return FromCivil(y, m, d, hh, mi, ss, ms);
}

std::string FormatDateTime(DateTime t) {
  Civil c = ToCivil(t);
  char buf[40];
  if (c.millisecond != 0) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second, c.millisecond);
  } else {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour,
                  c.minute, c.second);
  }
  return buf;
}

bool IsCanonicalDateText(std::string_view s) {
  static constexpr std::string_view kShape = "dddd-dd-dd dd:dd:dd.ddd";
  if (s.size() != 10 && s.size() != 19 && s.size() != 23) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    if (kShape[i] == 'd' ? !IsDigit(s[i]) : s[i] != kShape[i]) return false;
  }
  return true;
}

Value DateResult(DateTime t) {
  if (t.ms < DaysFromCivil(1, 1, 1) * kMsPerDay || t.ms >= DaysFromCivil(10000, 1, 1) * kMsPerDay) {
    Fail(517, "Adding a value to a 'datetime' column caused an overflow.");
  }
  return Value::Text(FormatDateTime(t));
}

DateTime ToDateTime(const Value& v) {
  if (v.kind == Value::kText) {
    auto t = ParseDateText(v.s);
    if (!t) Fail(241, "Conversion failed when converting date and/or time from character string.");
    return *t;
  }
  double days = v.AsDouble();
  if (!(std::fabs(days) < 3e6)) {
    Fail(8115, "Arithmetic overflow error converting expression to data type datetime.");
  }
  return DateTime{static_cast<int64_t>(std::llround(days * kMsPerDay))};
}

namespace {

enum class Part {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeek,
  kWeekday,
  kIsoWeek,
  kHour,
  kMinute,
  kSecond,
  kMillisecond
};

Part ParsePart(const Value& v) {
  struct Name {
    const char* name;
    Part part;
  };
  static constexpr Name kNames[] = {
      {"year", Part::kYear},       {"yy", Part::kYear},
      {"yyyy", Part::kYear},       {"quarter", Part::kQuarter},
      {"qq", Part::kQuarter},      {"q", Part::kQuarter},
      {"month", Part::kMonth},     {"mm", Part::kMonth},
      {"m", Part::kMonth},         {"dayofyear", Part::kDayOfYear},
      {"dy", Part::kDayOfYear},    {"y", Part::kDayOfYear},
      {"day", Part::kDay},         {"dd", Part::kDay},
      {"d", Part::kDay},           {"week", Part::kWeek},
      {"wk", Part::kWeek},         {"ww", Part::kWeek},
      {"weekday", Part::kWeekday}, {"dw", Part::kWeekday},
      {"w", Part::kWeekday},       {"iso_week", Part::kIsoWeek},
      {"isowk", Part::kIsoWeek},   {"isoww", Part::kIsoWeek},
      {"hour", Part::kHour},
      {"hh", Part::kHour},         {"minute", Part::kMinute},
      {"mi", Part::kMinute},       {"n", Part::kMinute},
      {"second", Part::kSecond},   {"ss", Part::kSecond},
      {"s", Part::kSecond},        {"millisecond", Part::kMillisecond},
      {"ms", Part::kMillisecond}};
  std::string name = ToText(v);
  for (const Name& n : kNames) {
    if (EqualsNoCaseAscii(name, n.name)) return n.part;
  }
  Fail(155, "'" + name + "' is not a recognized datepart option.");
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int64_t Days(DateTime t) { return FloorDiv(t.ms, kMsPerDay); }
// 1900-01-01 was a Monday; weekday 1 is Sunday.
int Weekday(DateTime t) { return static_cast<int>((Days(t) % 7 + 7 + 1) % 7) + 1; }

[[noreturn]] void FailDateOverflow() {
  Fail(517, "Adding a value to a 'datetime' column caused an overflow.");
}

DateTime AddMonths(DateTime t, int64_t months) {
  if (months > 120000 || months < -120000) FailDateOverflow();
  Civil c = ToCivil(t);
  int64_t total = static_cast<int64_t>(c.year) * 12 + (c.month - 1) + months;
  int64_t y = FloorDiv(total, 12);
  int m = static_cast<int>(total - y * 12) + 1;
  if (y < 1 || y > 9999) FailDateOverflow();
  int d = std::min(c.day, DaysInMonth(static_cast<int>(y), m));
  return *FromCivil(static_cast<int>(y), m, d, c.hour, c.minute, c.second, c.millisecond);
}

// t moved by n units of unit_ms, refusing what leaves the years 1 to 9999.
DateTime AddUnits(DateTime t, int64_t n, int64_t unit_ms) {
  int64_t delta, ms;
  if (__builtin_mul_overflow(n, unit_ms, &delta) || __builtin_add_overflow(t.ms, delta, &ms)) {
    FailDateOverflow();
  }
  return DateTime{ms};
}

Value Result(DateTime t) { return DateResult(t); }

Value DateAdd(const Args& a) {
  Part part = ParsePart(a[0]);
  int64_t n = ToInt(a[1]);
  DateTime t = ToDateTime(a[2]);
  switch (part) {
    case Part::kYear:
      return Result(AddMonths(t, n * 12));
    case Part::kQuarter:
      return Result(AddMonths(t, n * 3));
    case Part::kMonth:
      return Result(AddMonths(t, n));
    case Part::kDayOfYear:
    case Part::kDay:
    case Part::kWeekday:
      return Result(AddUnits(t, n, kMsPerDay));
    case Part::kWeek:
    case Part::kIsoWeek:
      return Result(AddUnits(t, n, 7 * kMsPerDay));
    case Part::kHour:
      return Result(AddUnits(t, n, 3600000));
    case Part::kMinute:
      return Result(AddUnits(t, n, 60000));
    case Part::kSecond:
      return Result(AddUnits(t, n, 1000));
    case Part::kMillisecond:
      return Result(AddUnits(t, n, 1));
  }
  return Value{};
}

// DATEDIFF counts boundaries crossed, not elapsed units: 23:59 to 00:01 is one day.
Value DateDiff(const Args& a) {
  Part part = ParsePart(a[0]);
  DateTime x = ToDateTime(a[1]), y = ToDateTime(a[2]);
  Civil cx = ToCivil(x), cy = ToCivil(y);
  switch (part) {
    case Part::kYear:
      return Value::Int(cy.year - cx.year);
    case Part::kQuarter:
      return Value::Int((cy.year * 4 + (cy.month - 1) / 3) - (cx.year * 4 + (cx.month - 1) / 3));
    case Part::kMonth:
      return Value::Int((cy.year * 12 + cy.month) - (cx.year * 12 + cx.month));
    case Part::kDayOfYear:
    case Part::kDay:
    case Part::kWeekday:
      return Value::Int(Days(y) - Days(x));
    case Part::kIsoWeek:
      // ISO weeks begin on Monday; 1900-01-01 was one.
      return Value::Int(FloorDiv(Days(y), 7) - FloorDiv(Days(x), 7));
    case Part::kWeek: {
      // Weeks begin on Sunday; 1899-12-31 was one.
      return Value::Int(FloorDiv(Days(y) + 1, 7) - FloorDiv(Days(x) + 1, 7));
    }
    case Part::kHour:
      return Value::Int(FloorDiv(y.ms, 3600000) - FloorDiv(x.ms, 3600000));
    case Part::kMinute:
      return Value::Int(FloorDiv(y.ms, 60000) - FloorDiv(x.ms, 60000));
    case Part::kSecond:
      return Value::Int(FloorDiv(y.ms, 1000) - FloorDiv(x.ms, 1000));
    case Part::kMillisecond:
      return Value::Int(y.ms - x.ms);
  }
  return Value{};
}

int64_t PartOf(Part part, DateTime t) {
  Civil c = ToCivil(t);
  switch (part) {
    case Part::kYear:
      return c.year;
    case Part::kQuarter:
      return (c.month - 1) / 3 + 1;
    case Part::kMonth:
      return c.month;
    case Part::kDayOfYear:
      return Days(t) - DaysFromCivil(c.year, 1, 1) + 1;
    case Part::kDay:
      return c.day;
    case Part::kWeek: {
      DateTime jan1{DaysFromCivil(c.year, 1, 1) * kMsPerDay};
      int64_t doy = Days(t) - Days(jan1);
      return (doy + Weekday(jan1) - 1) / 7 + 1;
    }
    case Part::kWeekday:
      return Weekday(t);
    case Part::kIsoWeek: {
      // The ISO week belongs to the year of its Thursday and counts from that year's first one.
      int64_t monday_based = ((Days(t) % 7) + 7) % 7;  // 1900-01-01 was a Monday
      int64_t thursday = Days(t) - monday_based + 3;
      int year = ToCivil(DateTime{thursday * kMsPerDay}).year;
      return (thursday - DaysFromCivil(year, 1, 1)) / 7 + 1;
    }
    case Part::kHour:
      return c.hour;
    case Part::kMinute:
      return c.minute;
    case Part::kSecond:
      return c.second;
    case Part::kMillisecond:
      return c.millisecond;
  }
  return 0;
}

Value DatePart(const Args& a) { return Value::Int(PartOf(ParsePart(a[0]), ToDateTime(a[1]))); }

Value DateName(const Args& a) {
  Part part = ParsePart(a[0]);
  DateTime t = ToDateTime(a[1]);
  if (part == Part::kMonth) return Value::Text(kMonthNames[ToCivil(t).month - 1]);
  if (part == Part::kWeekday) return Value::Text(kDayNames[Weekday(t) - 1]);
  return Value::Text(std::to_string(PartOf(part, t)));
}

Value Year(const Args& a) { return Value::Int(ToCivil(ToDateTime(a[0])).year); }
Value Month(const Args& a) { return Value::Int(ToCivil(ToDateTime(a[0])).month); }
Value Day(const Args& a) { return Value::Int(ToCivil(ToDateTime(a[0])).day); }

Value IsDate(const Args& a) {
  if (a[0].kind != Value::kText) return Value::Int(0);
  return Value::Int(ParseDateText(a[0].s).has_value() ? 1 : 0);
}

Value EoMonth(const Args& a) {
  DateTime t = ToDateTime(a[0]);
  if (a.size() > 1) t = AddMonths(t, ToInt(a[1]));
  Civil c = ToCivil(t);
  return Result(*FromCivil(c.year, c.month, DaysInMonth(c.year, c.month)));
}

Value Now(bool utc) {
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  if (utc) {
    gmtime_r(&secs, &tm);
  } else {
    localtime_r(&secs, &tm);
  }
  return Result(*FromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                           std::min(tm.tm_sec, 59), static_cast<int>(ms)));
}

Value GetDate(const Args&) { return Now(false); }
Value GetUtcDate(const Args&) { return Now(true); }

}  // namespace

void RegisterDateFunctions(sqlite3* db) {
  AddScalar(db, "tsql_getdate", 0, 0, GetDate, true, false);
  AddScalar(db, "tsql_getutcdate", 0, 0, GetUtcDate, true, false);
  AddScalar(db, "tsql_dateadd", 3, 3, DateAdd);
  AddScalar(db, "tsql_datediff", 3, 3, DateDiff);
  AddScalar(db, "tsql_datepart", 2, 2, DatePart);
  AddScalar(db, "tsql_datename", 2, 2, DateName);
  AddScalar(db, "tsql_year", 1, 1, Year);
  AddScalar(db, "tsql_month", 1, 1, Month);
  AddScalar(db, "tsql_day", 1, 1, Day);
  AddScalar(db, "tsql_isdate", 1, 1, IsDate, false);
  AddScalar(db, "tsql_eomonth", 1, 2, EoMonth);
}

}  // namespace ambit::tsql::rt
