#include "data/json_text.h"

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

}  // namespace

void JsonText::String(std::string_view s) {
  buffer_.push_back('"');
  size_t run = 0;  // start of the bytes that need no escaping, copied in one piece
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
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
    buffer_.append(s.data() + run, i - run);
    switch (c) {
      case '"': buffer_.append("\\\""); break;
      case '\\': buffer_.append("\\\\"); break;
      case '\b': buffer_.append("\\b"); break;
      case '\f': buffer_.append("\\f"); break;
      case '\n': buffer_.append("\\n"); break;
      case '\r': buffer_.append("\\r"); break;
      case '\t': buffer_.append("\\t"); break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          buffer_.append(escaped, 6);
        } else {
          buffer_.append("\xEF\xBF\xBD");  // a byte that starts no UTF-8 character
        }
    }
    run = ++i;
  }
  buffer_.append(s.data() + run, s.size() - run);
  buffer_.push_back('"');
}

void JsonText::Int(int64_t i) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, i).ptr;
  buffer_.append(digits, end);
}

void JsonText::Double(double d) {
  if (!std::isfinite(d)) return Null();
  char digits[32];
  auto end = std::to_chars(digits, digits + sizeof digits, d).ptr;
  buffer_.append(digits, end);
  // A whole number keeps a decimal point, so a reader sees a float as a float.
  if (std::string_view(digits, static_cast<size_t>(end - digits)).find_first_of(".e") ==
      std::string_view::npos)
    buffer_.append(".0");
}

void JsonText::NewLine(int depth) {
  if (!pretty_) return;
  buffer_.push_back('\n');
  buffer_.append(static_cast<size_t>(depth + indent_) * 2, ' ');
}

bool JsonText::Flush() {
  if (!target_ || buffer_.empty()) return !failed_;
  if (!failed_ && !target_(buffer_)) failed_ = true;
  buffer_.clear();
  return !failed_;
}

}  // namespace ambit
