// CONVERT's date styles: the text forms of the numbered styles, in and out, for datetime and
// for the newer date types, and the Hijri dates of styles 130 and 131. Hijri dates follow the
// Kuwaiti algorithm (a tabular calendar of 30-year cycles), the one SQL Server uses.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

// The civil Julian day number of 1900-01-01, day 0 of DateTime.
constexpr int64_t kJulianDay1900 = 2415021;
constexpr int64_t kHijriEpoch = 1948084;  // the Kuwaiti algorithm's astronomical epoch

struct Hijri {
  int year, month, day;
};

Hijri ToHijri(DateTime t) {
  int64_t days = t.ms >= 0 ? t.ms / kMsPerDay : -((-t.ms + kMsPerDay - 1) / kMsPerDay);
  const double year_days = 10631.0 / 30.0, shift = 8.01 / 60.0;
  double z = static_cast<double>(days + kJulianDay1900 - kHijriEpoch);
  double cycle = std::floor(z / 10631.0);
  z -= 10631.0 * cycle;
  double j = std::floor((z - shift) / year_days);
  z -= std::floor(j * year_days + shift);
  int month = static_cast<int>(std::floor((z + 28.5001) / 29.5));
  if (month == 13) month = 12;
  int day = static_cast<int>(z - std::floor(29.5001 * month - 29));
  return Hijri{static_cast<int>(30 * cycle + j), month, day};
}

// The day of a Hijri date: the tabular calendar is within a day or two of the estimate, so the
// days around it are tried.
std::optional<DateTime> FromHijri(int year, int month, int day, int64_t ms_of_day) {
  if (month < 1 || month > 12 || day < 1 || day > 30 || year < 1 || year > 9999) return {};
  // The algorithm counts its years from the epoch as they are numbered.
  double estimate = year * (10631.0 / 30.0) + (month - 1) * 29.5 + day - 1;
  int64_t base = static_cast<int64_t>(estimate) + kHijriEpoch - kJulianDay1900;
  for (int64_t d = base - 5; d <= base + 5; ++d) {
    Hijri h = ToHijri(DateTime{d * kMsPerDay});
    if (h.year == year && h.month == month && h.day == day) return DateTime{d * kMsPerDay + ms_of_day};
  }
  return {};
}

// Styles 130 and 131 read "dd mon yyyy hh:mi:ss:mmmAM" and "dd/mm/yyyy hh:mi:ss:mmmAM"; only
// the numeric form is read back.
std::optional<DateTime> ParseHijri(std::string_view s) {
  int d = 0, m = 0, y = 0;
  int consumed = 0;
  std::string text(s);
  if (std::sscanf(text.c_str(), " %d/%d/%d%n", &d, &m, &y, &consumed) != 3) return {};
  int64_t ms_of_day = 0;
  std::string rest = text.substr(static_cast<size_t>(consumed));
  if (rest.find_first_not_of(' ') != std::string::npos) {
    // hh:mi[:ss[:mmm]][AM|PM], as the style writes it.
    int h = 0, mi = 0, sec = 0, ms = 0, used = 0;
    int fields = std::sscanf(rest.c_str(), " %d:%d%n:%d%n:%d%n", &h, &mi, &used, &sec, &used, &ms,
                             &used);
    if (fields < 2) return {};
    std::string_view tail = std::string_view(rest).substr(static_cast<size_t>(used));
    while (!tail.empty() && tail.front() == ' ') tail.remove_prefix(1);
    bool pm = tail == "PM" || tail == "pm", am = tail == "AM" || tail == "am";
    if (!tail.empty() && !pm && !am) return {};
    if ((pm || am) && (h < 1 || h > 12)) return {};
    if (pm && h != 12) h += 12;
    if (am && h == 12) h = 0;
    if (h > 23 || mi > 59 || sec > 59 || ms > 999) return {};
    ms_of_day = ((h * 60 + mi) * 60 + sec) * int64_t{1000} + ms;
  }
  return FromHijri(y, m, d, ms_of_day);
}

// Day/month order of the styles that write the day first.
bool DayFirstStyle(int64_t style) {
  int64_t s = style % 100;
  return s == 3 || s == 4 || s == 5 || s == 13;
}

std::optional<DateTime> ParseWithStyle(std::string_view s, int64_t style) {
  if (style == 130 || style == 131) return ParseHijri(s);
  if (DayFirstStyle(style)) {
    // dd/mm/yyyy[ rest] is read by swapping the first two fields into the default mdy form.
    size_t a = s.find_first_of("/.-"),
           b = a == std::string_view::npos ? a : s.find_first_of("/.-", a + 1);
    if (b != std::string_view::npos && a <= 2 && b - a <= 3) {
      std::string swapped = std::string(s.substr(a + 1, b - a - 1)) + "/" +
                            std::string(s.substr(0, a)) + "/" + std::string(s.substr(b + 1));
      return ParseDateText(swapped);
    }
  }
  return ParseDateText(s);
}

struct NumericStyle {
  int style;          // the two-digit-year form; style + 100 has a four-digit year
  const char* order;  // 'y', 'm' and 'd' in the order they are written
  const char* separator;
};

const NumericStyle* NumericDateStyle(int64_t style) {
  static constexpr NumericStyle kStyles[] = {
      {1, "mdy", "/"},  {2, "ymd", "."},  {3, "dmy", "/"},  {4, "dmy", "."},
      {5, "dmy", "-"},  {10, "mdy", "-"}, {11, "ymd", "/"}, {12, "ymd", ""}};
  for (const NumericStyle& n : kStyles)
    if (style == n.style || style == n.style + 100) return &n;
  return nullptr;
}

}  // namespace

DateTime ToDate(const Value& v, int64_t style) {
  if (v.kind != Value::kText) return ToDateTime(v);
  std::string_view s = v.s;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (s.empty()) return DateTime{0};  // '' is 1900-01-01
  auto t = ParseWithStyle(s, style);
  if (!t) Fail(241, "Conversion failed when converting date and/or time from character string.");
  return *t;
}

std::string FormatDateStyle(DateTime t, int64_t style) {
  static constexpr const char* kMon[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  Civil c = ToCivil(t);
  int yy = c.year % 100, h12 = c.hour % 12 == 0 ? 12 : c.hour % 12;
  const char* ampm = c.hour < 12 ? "AM" : "PM";
  char buf[96];
  auto put = [&](const char* fmt, auto... args) { std::snprintf(buf, sizeof buf, fmt, args...); };
  if (auto numeric = NumericDateStyle(style)) {
    // The all-digit date styles differ only in field order and separator; the style plus 100
    // writes the year with four digits.
    int fields[3];
    for (int i = 0; i < 3; ++i) {
      char f = numeric->order[i];
      fields[i] = f == 'y' ? (style < 100 ? yy : c.year) : f == 'm' ? c.month : c.day;
    }
    std::string out;
    for (int i = 0; i < 3; ++i) {
      if (i > 0) out += numeric->separator;
      put(numeric->order[i] == 'y' && style > 100 ? "%04d" : "%02d", fields[i]);
      out += buf;
    }
    return out;
  }
  switch (style) {
    case 0:
    case 100:
      put("%s %2d %04d %2d:%02d%s", kMon[c.month - 1], c.day, c.year, h12, c.minute, ampm);
      break;
    case 9:
    case 109:
      put("%s %2d %04d %2d:%02d:%02d:%03d%s", kMon[c.month - 1], c.day, c.year, h12, c.minute,
          c.second, c.millisecond, ampm);
      break;
    case 6:
    case 106:
      put(style < 100 ? "%02d %s %02d" : "%02d %s %04d", c.day, kMon[c.month - 1],
          style < 100 ? yy : c.year);
      break;
    case 7:
    case 107:
      put(style < 100 ? "%s %02d, %02d" : "%s %02d, %04d", kMon[c.month - 1], c.day,
          style < 100 ? yy : c.year);
      break;
    case 8:
    case 24:
    case 108:
      put("%02d:%02d:%02d", c.hour, c.minute, c.second);
      break;
    case 13:
    case 113:
      put("%02d %s %04d %02d:%02d:%02d:%03d", c.day, kMon[c.month - 1], c.year, c.hour, c.minute,
          c.second, c.millisecond);
      break;
    case 14:
    case 114:
      put("%02d:%02d:%02d:%03d", c.hour, c.minute, c.second, c.millisecond);
      break;
    case 20:
    case 120:
      put("%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
      break;
    case 21:
    case 25:
    case 121:
      put("%04d-%02d-%02d %02d:%02d:%02d.%03d", c.year, c.month, c.day, c.hour, c.minute, c.second,
          c.millisecond);
      break;
    case 22:
      put("%02d/%02d/%02d %2d:%02d:%02d %s", c.month, c.day, yy, h12, c.minute, c.second, ampm);
      break;
    case 23:
      put("%04d-%02d-%02d", c.year, c.month, c.day);
      break;
    case 126:
    case 127:
      if (c.millisecond) {
        put("%04d-%02d-%02dT%02d:%02d:%02d.%03d", c.year, c.month, c.day, c.hour, c.minute,
            c.second, c.millisecond);
      } else {
        put("%04d-%02d-%02dT%02d:%02d:%02d", c.year, c.month, c.day, c.hour, c.minute, c.second);
      }
      break;
    case 130:
    case 131: {
      // The month names of 130 are Arabic.
      static constexpr const char* kHijriMonths[] = {
          "محرم", "صفر", "ربيع الاول", "ربيع الثاني", "جمادى الاولى", "جمادى الثانية",
          "رجب", "شعبان", "رمضان", "شوال", "ذو القعدة", "ذو الحجة"};
      Hijri h = ToHijri(t);
      if (style == 130) {
        put("%2d %s %04d %2d:%02d:%02d:%03d%s", h.day, kHijriMonths[h.month - 1], h.year, h12,
            c.minute, c.second, c.millisecond, ampm);
      } else {
        put("%2d/%02d/%04d %2d:%02d:%02d:%03d%s", h.day, h.month, h.year, h12, c.minute,
            c.second, c.millisecond, ampm);
      }
      break;
    }
    default:
      Fail(281, std::to_string(style) +
                    " is not a valid style number when converting from datetime to a character "
                    "string.");
  }
  return buf;
}

// The text of a date, time or datetime2 value (typed "date", "time(3)", "datetime2", ...) in a
// CONVERT style (-1: none). A date shows only the date part of a style that has both, a time
// only the time part (and 1900-01-01 in a style of dates alone); time and datetime2 write their
// fraction to their own scale where the style is an ISO one.
std::string TypedDateText(const Value& v, int64_t style, std::string_view type) {
  std::string_view kind = type.substr(0, type.find('('));
  int scale = 7;
  if (size_t open = type.find('('); open != std::string_view::npos) {
    scale = std::atoi(std::string(type.substr(open + 1)).c_str());
  }
  DateTime t = ToDate(v, 0);
  Civil c = ToCivil(t);
  std::string fraction;
  if (scale > 0) {
    char ms[8];
    std::snprintf(ms, sizeof ms, "%03d", c.millisecond);
    fraction = "." + (std::string(ms) + "0000").substr(0, static_cast<size_t>(scale));
  }
  if (style < 0) style = kind == "date" ? 23 : 121;
  std::string text = FormatDateStyle(t, style);
  const bool iso_fraction = style == 21 || style == 25 || style == 121 || style == 126 ||
                            style == 127;
  if (kind != "date" && iso_fraction) {
    // Replace the milliseconds (or their absence, 126 on a whole second) by the scale's digits.
    size_t seconds_end = text.find(':', text.find(':') + 1) + 3;
    text = text.substr(0, seconds_end) + fraction;
  }
  // Where the time starts in the styles that write both parts.
  size_t time_at = std::string::npos;
  switch (style) {
    case 0: case 100: case 9: case 109: case 13: case 113:
      time_at = 12;
      break;
    case 20: case 120: case 21: case 121: case 25: case 126: case 127:
      time_at = 11;
      break;
    case 22:
      time_at = 9;
      break;
    default:
      break;
  }
  if (time_at == std::string::npos) return text;
  if (kind == "date") return text.substr(0, time_at - 1);
  if (kind == "time") return text.substr(time_at);
  return text;
}

}  // namespace ambit::tsql::rt
