#include "base/conversions.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "base/com_error.h"

namespace ambit {
namespace {

constexpr char kSource[] = "ambit-order";

[[noreturn]] void TypeMismatch(const Variant& v, std::string_view expected) {
  throw ComError(err::kTypeMismatch, kSource,
                 "Type mismatch: cannot convert " + DescribeValue(v) + " to " +
                     std::string(expected) + ".");
}

[[noreturn]] void OverflowError(const Variant& v, std::string_view expected) {
  throw ComError(err::kOverflow, kSource,
                 "Overflow: " + DescribeValue(v) + " does not fit in " + std::string(expected) +
                     ".");
}

[[noreturn]] void NullError(std::string_view expected) {
  throw ComError(err::kInvalidUseOfNull, kSource,
                 "Invalid use of Null: a Null value cannot be converted to " +
                     std::string(expected) + ".");
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Text to number for the conversion functions: the IsNumeric form, optionally followed by an
// exponent ("1e3"), which the platform also converts.
std::optional<double> ParseNumberText(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  size_t exp_pos = s.find_first_of("eE");
  std::string_view mantissa = s.substr(0, exp_pos);
  if (!IsNumericText(mantissa)) return std::nullopt;
  if (exp_pos != std::string_view::npos) {
    std::string_view e = s.substr(exp_pos + 1);
    if (!e.empty() && (e[0] == '+' || e[0] == '-')) e.remove_prefix(1);
    if (e.empty()) return std::nullopt;
    for (char c : e)
      if (c < '0' || c > '9') return std::nullopt;
  }
  return std::strtod(std::string(s).c_str(), nullptr);
}

// A value as a double for the numeric conversions, or a type error naming `expected`.
double NumberOf(const Variant& v, std::string_view expected) {
  switch (v.type()) {
    case VarType::kEmpty: return 0;
    case VarType::kNull: NullError(expected);
    case VarType::kBoolean: return v.bool_value() ? -1 : 0;
    case VarType::kInteger: return v.int_value();
    case VarType::kLong: return v.long_value();
    case VarType::kLongLong: return static_cast<double>(v.longlong_value());
    case VarType::kDouble: return v.double_value();
    case VarType::kDate: return v.date_value().serial;
    case VarType::kString: {
      auto d = ParseNumberText(v.string_value());
      if (!d) TypeMismatch(v, expected);
      return *d;
    }
    case VarType::kObject: TypeMismatch(v, expected);
  }
  TypeMismatch(v, expected);
}

// Round half to even, then range-check: the platform's integer conversions.
template <class T>
T RoundToInteger(const Variant& v, std::string_view expected) {
  if (v.type() == VarType::kLongLong) {
    int64_t x = v.longlong_value();
    if (x < std::numeric_limits<T>::min() || x > std::numeric_limits<T>::max())
      OverflowError(v, expected);
    return static_cast<T>(x);
  }
  double d = NumberOf(v, expected);
  if (!std::isfinite(d)) OverflowError(v, expected);
  double r = std::nearbyint(d);  // the default rounding mode rounds halves to even
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max()))
    OverflowError(v, expected);
  return static_cast<T>(r);
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Reads 1..max_digits digits; false when there are none.
bool ReadInt(std::string_view& s, int max_digits, int& out) {
  int n = 0;
  out = 0;
  while (n < max_digits && !s.empty() && s[0] >= '0' && s[0] <= '9') {
    out = out * 10 + (s[0] - '0');
    s.remove_prefix(1);
    ++n;
  }
  return n > 0;
}

bool ReadTime(std::string_view s, int& h, int& mi, double& sec) {
  h = mi = 0;
  sec = 0;
  if (s.empty()) return true;
  if (!ReadInt(s, 2, h) || s.empty() || s[0] != ':') return false;
  s.remove_prefix(1);
  if (!ReadInt(s, 2, mi)) return false;
  if (!s.empty() && s[0] == ':') {
    s.remove_prefix(1);
    int whole;
    if (!ReadInt(s, 2, whole)) return false;
    sec = whole;
    if (!s.empty() && s[0] == '.') {
      s.remove_prefix(1);
      double scale = 0.1;
      if (s.empty()) return false;
      while (!s.empty() && s[0] >= '0' && s[0] <= '9') {
        sec += (s[0] - '0') * scale;
        scale /= 10;
        s.remove_prefix(1);
      }
    }
  }
  s = Trim(s);
  if (s == "PM" || s == "pm") {
    if (h < 12) h += 12;
  } else if (s == "AM" || s == "am") {
    if (h == 12) h = 0;
  } else if (!s.empty()) {
    return false;
  }
  return h < 24 && mi < 60 && sec < 60;
}

}  // namespace

std::string DescribeValue(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty: return "Empty";
    case VarType::kNull: return "Null";
    case VarType::kObject:
      return std::string(v.object_value() ? v.object_value()->TypeName() : "Nothing") +
             " object";
    case VarType::kString: return "'" + v.string_value() + "' (String)";
    default: return CStr(v) + " (" + std::string(VarTypeName(v.type())) + ")";
  }
}

std::string FormatNumber(double d) {
  if (d == 0) return "0";
  if (!std::isfinite(d))
    throw ComError(err::kOverflow, kSource, "Overflow: the number is not finite.");
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", d);  // 15 significant digits: d.dddddddddddddde±XX
  std::string_view text(buf);
  std::string out;
  if (text[0] == '-') {
    out = "-";
    text.remove_prefix(1);
  }
  size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e))
    if (c != '.') digits += c;
  int exponent = std::atoi(std::string(text.substr(e + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (exponent >= 0) {
    size_t int_len = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= int_len) {
      out += digits + std::string(int_len - digits.size(), '0');
    } else {
      out += digits.substr(0, int_len) + "." + digits.substr(int_len);
    }
  } else {
    out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

std::string CStr(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty: return "";
    case VarType::kNull: NullError("String");
    case VarType::kBoolean: return v.bool_value() ? "True" : "False";
    case VarType::kInteger: return std::to_string(v.int_value());
    case VarType::kLong: return std::to_string(v.long_value());
    case VarType::kLongLong: return std::to_string(v.longlong_value());
    case VarType::kDouble: return FormatNumber(v.double_value());
    case VarType::kDate: return FormatDate(v.date_value());
    case VarType::kString: return v.string_value();
    case VarType::kObject: TypeMismatch(v, "String");
  }
  // Only a value in no valid state gets here; describing it would recurse.
  throw ComError(err::kTypeMismatch, kSource, "Type mismatch: the value has no valid subtype.");
}

int32_t CLng(const Variant& v) {
  if (v.type() == VarType::kLong) return v.long_value();
  return RoundToInteger<int32_t>(v, "Long");
}

int16_t CInt(const Variant& v) {
  if (v.type() == VarType::kInteger) return v.int_value();
  return RoundToInteger<int16_t>(v, "Integer");
}

int64_t CLngLng(const Variant& v) {
  if (v.type() == VarType::kLongLong) return v.longlong_value();
  double d = NumberOf(v, "LongLong");
  double r = std::nearbyint(d);
  // 2^63 is exactly representable; anything at or past it overflows.
  if (!std::isfinite(r) || r < -9223372036854775808.0 || r >= 9223372036854775808.0)
    OverflowError(v, "LongLong");
  return static_cast<int64_t>(r);
}

double CDbl(const Variant& v) { return NumberOf(v, "Double"); }

bool CBool(const Variant& v) {
  switch (v.type()) {
    case VarType::kBoolean: return v.bool_value();
    case VarType::kString: {
      std::string_view s = Trim(v.string_value());
      if (s.size() == 4 && (s[0] | 0x20) == 't' && (s[1] | 0x20) == 'r' && (s[2] | 0x20) == 'u' &&
          (s[3] | 0x20) == 'e')
        return true;
      if (s.size() == 5 && (s[0] | 0x20) == 'f' && (s[1] | 0x20) == 'a' &&
          (s[2] | 0x20) == 'l' && (s[3] | 0x20) == 's' && (s[4] | 0x20) == 'e')
        return false;
      auto d = ParseNumberText(s);
      if (!d) TypeMismatch(v, "Boolean");
      return *d != 0;
    }
    default: return NumberOf(v, "Boolean") != 0;
  }
}

Date CDate(const Variant& v) {
  switch (v.type()) {
    case VarType::kDate: return v.date_value();
    case VarType::kNull: NullError("Date");
    case VarType::kString: {
      if (auto d = ParseDate(v.string_value())) return *d;
      TypeMismatch(v, "Date");
    }
    case VarType::kObject: TypeMismatch(v, "Date");
    default: return Date{NumberOf(v, "Date")};
  }
}

double Val(std::string_view s) {
  // Blanks anywhere are skipped, as the platform's Val does ("1 2" is 12).
  std::string compact;
  for (char c : s)
    if (!IsBlank(c)) compact += c;
  size_t i = 0;
  if (i < compact.size() && (compact[i] == '+' || compact[i] == '-')) ++i;
  size_t digits_start = i;
  while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) ++i;
  if (i < compact.size() && compact[i] == '.') {
    ++i;
    while (i < compact.size() && std::isdigit(static_cast<unsigned char>(compact[i]))) ++i;
  }
  if (i == digits_start || (i == digits_start + 1 && compact[digits_start] == '.')) return 0;
  size_t mantissa_end = i;
  if (i < compact.size() && (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' ||
                             compact[i] == 'D')) {
    size_t j = i + 1;
    if (j < compact.size() && (compact[j] == '+' || compact[j] == '-')) ++j;
    size_t exp_digits = j;
    while (j < compact.size() && std::isdigit(static_cast<unsigned char>(compact[j]))) ++j;
    if (j > exp_digits) {
      compact[i] = 'e';
      mantissa_end = j;
    }
  }
  return std::strtod(compact.substr(0, mantissa_end).c_str(), nullptr);
}

bool IsNumericText(std::string_view s) {
  s = Trim(s);
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) s.remove_prefix(1);
  bool digit = false, point = false;
  for (char c : s) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

bool IsNumeric(const Variant& v) {
  switch (v.type()) {
    case VarType::kNull:
    case VarType::kObject:
    case VarType::kDate:
      return false;
    case VarType::kString:
      return IsNumericText(v.string_value());
    default:
      return true;
  }
}

Date MakeDate(int year, int month, int day, int hour, int minute, double second) {
  double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                                  static_cast<unsigned>(day)) -
                                    kEpochDays);
  double frac = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  // Before the epoch the fraction still counts forward from midnight, so it is subtracted.
  return Date{days < 0 ? days - frac : days + frac};
}

DateParts SplitDate(Date d) {
  double whole = std::trunc(d.serial);
  double frac = std::fabs(d.serial - whole);
  int64_t ms = std::llround(frac * 86400000.0);
  int64_t days = static_cast<int64_t>(whole);
  if (ms >= 86400000) {
    ms -= 86400000;
    days += d.serial < 0 ? -1 : 1;
  }
  DateParts p{};
  CivilFromDays(days + kEpochDays, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::string FormatDate(Date d) {
  DateParts p = SplitDate(d);
  char buf[40];
  if (p.year < 0 || p.year > 9999) {
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return buf;
  }
  // By hand: lists write a date in every row, and printf's parsing of its format showed in
  // the server's profile.
  auto two = [](char* at, int v) {
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
  };
  two(buf, p.year / 100);
  two(buf + 2, p.year % 100);
  buf[4] = '-';
  two(buf + 5, p.month);
  buf[7] = '-';
  two(buf + 8, p.day);
  buf[10] = ' ';
  two(buf + 11, p.hour);
  buf[13] = ':';
  two(buf + 14, p.minute);
  buf[16] = ':';
  two(buf + 17, p.second);
  return std::string(buf, 19);
}

bool IsFormattedDate(std::string_view s) {
  // Asked of every date cell a list writes: the separators first, then the digits, each once.
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' ||
      s[16] != ':')
    return false;
  auto digit = [&](size_t i) { return static_cast<unsigned>(s[i] - '0'); };
  static constexpr uint8_t kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
  for (uint8_t i : kDigits)
    if (digit(i) > 9) return false;
  auto two = [&](size_t at) { return static_cast<int>(digit(at) * 10 + digit(at + 1)); };
  int y = two(0) * 100 + two(2), m = two(5), d = two(8);
  return y >= 100 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m) && two(11) < 24 &&
         two(14) < 60 && two(17) < 60;
}

std::optional<Date> ParseDate(std::string_view text) {
  std::string_view s = Trim(text);
  int y = 0, m = 0, d = 0;
  std::string_view rest;
  bool digits_only_date = s.size() >= 8 && s.find_first_not_of("0123456789") >= 8 &&
                          (s.size() == 8 || s[8] == ' ' || s[8] == 'T');
  if (digits_only_date) {  // yyyyMMdd
    std::string_view p = s;
    ReadInt(p, 4, y);
    ReadInt(p, 2, m);
    ReadInt(p, 2, d);
    rest = p;
  } else {
    std::string_view p = s;
    int a, b, c;
    if (!ReadInt(p, 4, a) || p.empty()) return std::nullopt;
    char sep = p[0];
    if (sep != '-' && sep != '/' && sep != '.') return std::nullopt;
    p.remove_prefix(1);
    if (!ReadInt(p, 2, b) || p.empty() || p[0] != sep) return std::nullopt;
    p.remove_prefix(1);
    if (!ReadInt(p, 4, c)) return std::nullopt;
    if (a >= 1000 || s.find_first_of("-/.") == 4) {
      y = a, m = b, d = c;  // year first
    } else {
      m = a, d = b, y = c;  // month/day/year
    }
    rest = p;
  }
  if (!rest.empty()) {
    if (rest[0] != ' ' && rest[0] != 'T') return std::nullopt;
    rest.remove_prefix(1);
    rest = Trim(rest);
  }
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
    return std::nullopt;
  int h, mi;
  double sec;
  if (!ReadTime(rest, h, mi, sec)) return std::nullopt;
  return MakeDate(y, m, d, h, mi, sec);
}

int CompareVariants(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull()) NullError("a comparable value");
  if (a.IsObject()) TypeMismatch(a, "a comparable value");
  if (b.IsObject()) TypeMismatch(b, "a comparable value");
  bool a_text = a.IsString() || (a.IsEmpty() && b.IsString());
  bool b_text = b.IsString() || (b.IsEmpty() && a.IsString());
  if (a_text && b_text) {
    std::string sa = CStr(a), sb = CStr(b);
    return sa < sb ? -1 : (sa > sb ? 1 : 0);
  }
  if (a.type() == VarType::kLongLong && b.type() == VarType::kLongLong) {
    int64_t x = a.longlong_value(), y = b.longlong_value();
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  double x = CDbl(a), y = CDbl(b);
  return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace ambit
