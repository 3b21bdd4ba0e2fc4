#include "data/json_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace ambit {
namespace {

// Length of the well-formed UTF-8 sequence at s[i] (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  auto cont = [&](size_t k) { return k < s.size() && (byte(k) & 0xC0) == 0x80; };
  unsigned char c = byte(i);
  if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
  if (c >= 0xE0 && c <= 0xEF) {
    if (!cont(i + 1) || !cont(i + 2)) return 0;
    unsigned char c1 = byte(i + 1);
    if (c == 0xE0 && c1 < 0xA0) return 0;   // overlong
    if (c == 0xED && c1 >= 0xA0) return 0;  // surrogate
    return 3;
  }
  if (c >= 0xF0 && c <= 0xF4) {
    if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return 0;
    unsigned char c1 = byte(i + 1);
    if (c == 0xF0 && c1 < 0x90) return 0;   // overlong
    if (c == 0xF4 && c1 >= 0x90) return 0;  // past U+10FFFF
    return 4;
  }
  return 0;
}

// Printable ASCII other than the quote and the backslash: bytes a string keeps as they are.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> t{};
  for (int c = 0x20; c < 0x80; ++c) t[c] = c != '"' && c != '\\';
  return t;
}();

// Whether any of eight bytes is not plain: below 0x20, above 0x7F, a quote or a backslash.
// Each test is exact about "any" (its stray bits only ever follow a byte that matched).
[[gnu::always_inline]] inline bool AnyNotPlain(uint64_t w) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  auto has_zero = [&](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
  return (((w - kOnes * 0x20) & ~w) | w | has_zero(w ^ (kOnes * '"')) |
          has_zero(w ^ (kOnes * '\\'))) &
         kHigh;
}

// Whether a string of at most 16 bytes is plain all through, in one or two word tests: the
// bytes are gathered into words by overlapping loads (short ones padded with plain letters).
bool ShortIsPlain(const unsigned char* p, size_t n) {
  uint64_t a, b;
  if (n >= 8) {
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + n - 8, 8);
    return !AnyNotPlain(a) && !AnyNotPlain(b);
  }
  if (n >= 4) {
    uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + n - 4, 4);
    return !AnyNotPlain(lo | uint64_t{hi} << 32);
  }
  if (n == 0) return true;
  return !AnyNotPlain(p[0] | uint64_t{p[n / 2]} << 8 | uint64_t{p[n - 1]} << 16 |
                      0x6161616161000000ull);
}

// Length of the leading part of s that is written as it stands: plain bytes and well-formed
// UTF-8. Most strings are that all through, and go out in one copy.
size_t CleanPrefix(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  if (n <= 16 && ShortIsPlain(p, n)) return n;
  size_t i = 0;
  for (uint64_t w; i + 8 <= n; i += 8) {
    std::memcpy(&w, p + i, 8);
    if (AnyNotPlain(w)) break;
  }
  // A long plain string ends in a word test too, overlapping the last one.
  if (i < n && i + 8 > n && n >= 8) {
    uint64_t w;
    std::memcpy(&w, p + n - 8, 8);
    if (!AnyNotPlain(w)) return n;
  }
  while (i < n) {
    unsigned char c = p[i];
    if (kPlain[c]) {
      ++i;
    } else if (c < 0x80) {
      return i;
    } else if (c >= 0xE1 && c <= 0xEF && c != 0xED && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 &&
               (p[i + 2] & 0xC0) == 0x80) {
      i += 3;  // most of the CJK text names and addresses are made of; no overlong or surrogate
    } else {
      size_t len = Utf8SequenceLength(s, i);
      if (!len) return i;
      i += len;
    }
  }
  return n;
}

// memcpy for the short pieces cells mostly are, without the call: overlapping word copies.
[[gnu::always_inline]] inline void CopyShort(char* to, const char* from, size_t n) {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    uint64_t a, b;
    std::memcpy(&a, from, 8);
    std::memcpy(&b, from + n - 8, 8);
    std::memcpy(to, &a, 8);
    std::memcpy(to + n - 8, &b, 8);
  } else if (n >= 4) {
    uint32_t a, b;
    std::memcpy(&a, from, 4);
    std::memcpy(&b, from + n - 4, 4);
    std::memcpy(to, &a, 4);
    std::memcpy(to + n - 4, &b, 4);
  } else if (n) {
    to[0] = from[0];
    to[n / 2] = from[n / 2];
    to[n - 1] = from[n - 1];
  }
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes u's decimal digits so that they end at `end`; answers where they begin.
char* DigitsBefore(char* end, uint64_t u) {
  while (u >= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (u % 100), 2);
    u /= 100;
  }
  if (u >= 10) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * u, 2);
  } else {
    *--end = static_cast<char>('0' + u);
  }
  return end;
}

// Powers of ten are exact doubles up to 1e22.
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

void JsonText::Quoted(std::string_view s) {
  const size_t n = s.size();
  size_t clean = CleanPrefix(s);
  if (clean < n) return StringSlow(s, clean);
  char* out = Room(n + 2);
  out[0] = '"';
  CopyShort(out + 1, s.data(), n);
  out[n + 1] = '"';
  used_ += n + 2;
}

// A string with something to escape or replace; the first `clean` bytes need neither.
void JsonText::StringSlow(std::string_view s, size_t clean) {
  Char('"');
  size_t run = 0;  // start of the bytes that need no escaping, copied in one piece
  for (size_t i = clean; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (kPlain[c]) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      size_t n = Utf8SequenceLength(s, i);
      if (n) {
        i += n;
        continue;
      }
    }
    Raw(s.substr(run, i - run));
    switch (c) {
      case '"': Raw("\\\""); break;
      case '\\': Raw("\\\\"); break;
      case '\b': Raw("\\b"); break;
      case '\f': Raw("\\f"); break;
      case '\n': Raw("\\n"); break;
      case '\r': Raw("\\r"); break;
      case '\t': Raw("\\t"); break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          Raw(std::string_view(escaped, 6));
        } else {
          Raw("\xEF\xBF\xBD");  // a byte that starts no UTF-8 character
        }
    }
    run = ++i;
  }
  Raw(s.substr(run));
  Char('"');
}

void JsonText::Digits(int64_t i) {
  char* out = Room(20);  // "-9223372036854775808"
  char digits[20];
  char* end = digits + sizeof digits;
  char* begin = DigitsBefore(end, i < 0 ? 0 - static_cast<uint64_t>(i) : static_cast<uint64_t>(i));
  if (i < 0) *--begin = '-';
  size_t n = static_cast<size_t>(end - begin);
  CopyShort(out, begin, n);
  used_ += n;
}

// k / 10^scale, k a whole number below 1e15 in magnitude, in the form to_chars gives that
// quotient: with at most 15 significant digits the decimal is the shortest text that reads
// back as the double, so only the choice between fixed and exponent form is left. False (and
// nothing written) where the exponent form could be the shorter one.
bool JsonText::Fixed(double k, int scale) {
  if (k == 0) {
    Raw(std::signbit(k) ? "-0.0" : "0.0");
    return true;
  }
  char digits[24];
  char* end = digits + sizeof digits;
  char* begin = DigitsBefore(end, static_cast<uint64_t>(std::fabs(k)));
  int frac = scale;
  while (frac > 0 && end[-1] == '0') {
    --end;
    --frac;
  }
  const int m = static_cast<int>(end - begin);
  const bool negative = k < 0;
  if (frac == 0) {
    // 100000 is "1e+05" to to_chars: five trailing zeros may make the exponent form shorter.
    int zeros = 0;
    while (zeros < m && end[-1 - zeros] == '0') ++zeros;
    if (zeros > 4) return false;
    char* out = Room(static_cast<size_t>(m) + 3);
    if (negative) *out++ = '-';
    CopyShort(out, begin, static_cast<size_t>(m));
    std::memcpy(out + m, ".0", 2);
    used_ += static_cast<size_t>(m) + 2 + negative;
    return true;
  }
  if (m > frac) {
    char* out = Room(static_cast<size_t>(m) + 2);
    if (negative) *out++ = '-';
    const int whole = m - frac;
    CopyShort(out, begin, static_cast<size_t>(whole));
    out[whole] = '.';
    CopyShort(out + whole + 1, begin + whole, static_cast<size_t>(frac));
    used_ += static_cast<size_t>(m) + 1 + negative;
    return true;
  }
  // 0.001 is as long as 1e-03 and stays fixed; 0.0001 is longer than 1e-04.
  const int zeros = frac - m;
  if (zeros > 2) return false;
  char* out = Room(static_cast<size_t>(frac) + 3);
  char* at = out;
  if (negative) *at++ = '-';
  *at++ = '0';
  *at++ = '.';
  for (int z = 0; z < zeros; ++z) *at++ = '0';
  CopyShort(at, begin, static_cast<size_t>(m));
  used_ += static_cast<size_t>(at + m - out);
  return true;
}

void JsonText::Double(double d) {
  if (std::fabs(d) < 1e15 && d == static_cast<double>(static_cast<int64_t>(d)) && Fixed(d, 0))
    return;
  if (!std::isfinite(d)) return Null();
  char* out = Room(32);
  char* end = std::to_chars(out, out + 30, d).ptr;
  size_t n = static_cast<size_t>(end - out);
  // A whole number keeps a decimal point, so a reader sees a float as a float.
  if (std::string_view(out, n).find_first_of(".e") == std::string_view::npos) {
    std::memcpy(end, ".0", 2);
    n += 2;
  }
  used_ += n;
}

void JsonText::Decimal(double d, int scale) {
  double f = scale >= 0 && scale <= 22 ? kPowers[scale] : std::pow(10.0, scale);
  double k = std::round(d * f);
  if (scale >= 0 && scale <= 22 && std::fabs(k) < 1e15 && Fixed(k, scale)) return;
  Double(k / f);
}

void JsonText::NewLine(int depth) {
  if (!pretty_) return;
  size_t width = static_cast<size_t>(depth + indent_) * 2;
  char* out = Room(width + 1);
  out[0] = '\n';
  std::memset(out + 1, ' ', width);
  used_ += width + 1;
}

void JsonText::Grow(size_t n) {
  // With a target the buffer is handed on at flush_at_: room for that and a row past it at
  // once, rather than growing to it by copies.
  size_t want = std::max({used_ + n, capacity_ * 2, target_ ? flush_at_ + flush_at_ / 4 : 0,
                          size_t{4096}});
  std::unique_ptr<char[]> grown(new char[want]);
  if (used_) std::memcpy(grown.get(), data_.get(), used_);
  data_ = std::move(grown);
  capacity_ = want;
}

bool JsonText::Flush() {
  if (!target_ || used_ == 0) return !failed_;
  if (!failed_ && !target_(std::string_view(data_.get(), used_))) failed_ = true;
  used_ = 0;
  return !failed_;
}

}  // namespace ambit
