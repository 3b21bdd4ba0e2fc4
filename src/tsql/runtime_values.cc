// Number text forms, UTF-8 characters and the case folding behind the TSQL collation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql {
namespace rt {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ParseIntegerText(std::string_view s, int64_t* out) {
  s = TrimBlanks(s);
  if (s.empty()) {
    *out = 0;
    return true;
  }
  bool negative = false;
  if (s[0] == '+' || s[0] == '-') {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  uint64_t value = 0;
  for (char c : s) {
    if (!IsDigit(c)) return false;
    if (value > (UINT64_MAX - 9) / 10) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > static_cast<uint64_t>(INT64_MAX) + (negative ? 1 : 0)) return false;
  *out = negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
  return true;
}

bool ParseDecimalText(std::string_view s, bool allow_exponent, double* out) {
  s = TrimBlanks(s);
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (IsDigit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < s.size() && allow_exponent && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < s.size() && IsDigit(s[j])) ++j, ++exp_digits;
    if (exp_digits == 0) return false;
    i = j;
  }
  if (i != s.size()) return false;
  std::string text(s);
  *out = std::strtod(text.c_str(), nullptr);
  return std::isfinite(*out);
}

std::string FormatReal(double d) {
  if (!std::isfinite(d)) return std::isnan(d) ? "NaN" : (d > 0 ? "Infinity" : "-Infinity");
  if (d == 0) return "0";
  char buf[64];
  double a = std::fabs(d);
  if (a >= 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", d);
    return buf;
  }
  // Fixed notation with as many decimals as 15 significant digits allow, zeros trimmed.
  int int_digits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 0;
  int decimals = 15 - int_digits;
  if (a < 1) decimals = 15 - static_cast<int>(std::floor(std::log10(a))) - 1;
  if (decimals > 40) decimals = 40;
  std::snprintf(buf, sizeof buf, "%.*f", decimals, d);
  std::string out = buf;
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  if (out == "-0") out = "0";
  return out;
}

double RoundDecimal(double x, int places, bool truncate) {
  if (!std::isfinite(x) || x == 0) return x;
  if (places > 30) return x;
  // Most values already stand on their places (12.50 read from a decimal(18,2) column, on every
  // row of a list): x * 10^places is then a whole number r below 10^14 but for the error of the
  // multiplication, the 15 digits of x are r's, and the digits path would answer r / 10^places,
  // which one exact division gives without writing and reading text.
  static constexpr double kScale[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (places >= 0 && places <= 15) {
    double scale = kScale[places];
    double s = x * scale;
    if (std::fabs(s) < 9e13) {
      double r = std::nearbyint(s);
      if (r != 0 && std::fabs(s - r) <= 2e-16 * std::fabs(s)) return r / scale;
    }
  }
  return RoundDecimalByDigits(x, places, truncate);
}

double RoundDecimalByDigits(double x, int places, bool truncate) {
  if (!std::isfinite(x) || x == 0) return x;
  if (places > 30) return x;
  // The 15 significant digits are the value the author wrote (2.345, not 2.34499999...).
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(x));
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 14);
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  int keep = exponent + 1 + places;
  if (keep >= 15) return x;
  if (keep < 0) return 0;
  long long kept = keep == 0 ? 0 : std::stoll(digits.substr(0, keep));
  if (!truncate && digits[keep] >= '5') ++kept;
  std::snprintf(buf, sizeof buf, "%llde%d", kept, -places);
  double r = std::strtod(buf, nullptr);
  return x < 0 ? -r : r;
}

std::string ToText(const Value& v) {
  switch (v.kind) {
    case Value::kInt:
      return std::to_string(v.i);
    case Value::kReal:
      return FormatReal(v.r);
    case Value::kText:
    case Value::kBlob:  // the bytes as characters, as CONVERT style 0 gives them
      return v.s;
    case Value::kNull:
      break;
  }
  return "";
}

std::string HexBytes(std::string_view bytes, bool prefix) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = prefix ? "0x" : "";
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

int64_t BlobAsInt(std::string_view bytes, size_t width) {
  if (bytes.size() > width) bytes = bytes.substr(bytes.size() - width);
  uint64_t u = 0;
  for (unsigned char c : bytes) u = u << 8 | c;
  // A full-width value carries its sign in the top bit; tinyint has none.
  if (width > 1 && width < 8 && bytes.size() == width && (u >> (width * 8 - 1)) != 0) {
    u |= ~uint64_t{0} << (width * 8);
  }
  return static_cast<int64_t>(u);
}

int64_t ToInt(const Value& v, std::string_view type_name) {
  switch (v.kind) {
    case Value::kInt:
      return v.i;
    case Value::kReal:
      if (!(std::fabs(v.r) < 9.2e18)) {
        Fail(8115, "Arithmetic overflow error converting expression to data type " +
                       std::string(type_name) + ".");
      }
      return static_cast<int64_t>(std::trunc(v.r));
    case Value::kText: {
      int64_t out;
      if (!ParseIntegerText(v.s, &out)) FailConversion(v.s, type_name);
      return out;
    }
    case Value::kBlob:
      return BlobAsInt(v.s, 8);
    case Value::kNull:
      break;
  }
  return 0;
}

double ToReal(const Value& v) {
  if (v.kind == Value::kText) {
    double d;
    std::string_view t = TrimBlanks(v.s);
    if (t.empty()) return 0;
    if (!ParseDecimalText(t, true, &d)) Fail(8114, "Error converting data type varchar to float.");
    return d;
  }
  if (v.kind == Value::kBlob) return static_cast<double>(BlobAsInt(v.s, 4));
  return v.AsDouble();
}

// --- UTF-8

uint32_t NextChar(std::string_view s, size_t* pos) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  size_t i = *pos;
  uint32_t c = byte(i);
  int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + extra >= s.size()) {
    *pos = i + 1;
    return c;
  }
  uint32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      *pos = i + 1;
      return c;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  *pos = i + 1 + extra;
  return cp;
}

void AppendChar(std::string* out, uint32_t cp) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

size_t CharCount(std::string_view s) {
  size_t n = 0;
  for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

size_t ByteOffset(std::string_view s, size_t n) {
  size_t pos = 0;
  while (n > 0 && pos < s.size()) {
    NextChar(s, &pos);
    --n;
  }
  return pos;
}

// Latin Extended-A alternates upper/lower in pairs, but the pairs start on an odd code point in
// two stretches.
static bool IsUpperLatinExtA(uint32_t cp) {
  if ((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) return cp % 2 == 1;
  if (cp == 0x130 || cp == 0x131 || cp == 0x138 || cp == 0x149 || cp == 0x17F) return false;
  return cp % 2 == 0;
}

uint32_t FoldChar(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
  if (cp >= 0x100 && cp <= 0x17F) {
    if (cp == 0x178) return 0xFF;
    return IsUpperLatinExtA(cp) ? cp + 1 : cp;
  }
  if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) return cp + 32;
  if (cp == 0x3C2) return 0x3C3;  // final sigma
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;
  // The default collation ignores width: full-width Latin letters and digits are ASCII.
  if (cp >= 0xFF21 && cp <= 0xFF3A) return cp - 0xFF21 + 'a';
  if (cp >= 0xFF41 && cp <= 0xFF5A) return cp - 0xFF41 + 'a';
  if (cp >= 0xFF10 && cp <= 0xFF19) return cp - 0xFF10 + '0';
  return cp;
}

uint32_t UpperChar(uint32_t cp) {
  if (cp < 0x80) return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
  if (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) return cp - 32;
  if (cp == 0xFF) return 0x178;
  if (cp >= 0x100 && cp <= 0x17F) {
    if (cp == 0x131 || cp == 0x138 || cp == 0x149 || cp == 0x17F) return cp;
    return IsUpperLatinExtA(cp - 1) && !IsUpperLatinExtA(cp) ? cp - 1 : cp;
  }
  if (cp >= 0x3B1 && cp <= 0x3C9 && cp != 0x3C2) return cp - 32;
  if (cp == 0x3C2) return 0x3A3;
  if (cp >= 0x430 && cp <= 0x44F) return cp - 32;
  if (cp >= 0x450 && cp <= 0x45F) return cp - 80;
  return cp;
}

std::string_view TrimTrailingBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldChar(static_cast<unsigned char>(a[i])) != FoldChar(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace rt

int CompareText(std::string_view a, std::string_view b) {
  a = rt::TrimTrailingBlanks(a);
  b = rt::TrimTrailingBlanks(b);
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[j]);
    uint32_t fa, fb;
    if (ca < 0x80 && cb < 0x80) {
      fa = rt::FoldChar(ca);
      fb = rt::FoldChar(cb);
      ++i;
      ++j;
    } else {
      fa = rt::FoldChar(rt::NextChar(a, &i));
      fb = rt::FoldChar(rt::NextChar(b, &j));
    }
    if (fa != fb) return fa < fb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace ambit::tsql
