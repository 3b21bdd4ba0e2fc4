#include "frame/text_services.h"

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

int StringBuilder::Length() const {
  int n = 0;
  for (char c : text_)
    if (!IsContinuation(c)) ++n;
  return n;
}

size_t StringBuilder::ByteOffset(int position) const {
  if (position < 1 || position > Length() + 1)
    throw ComError(err::kInvalidArgument, "ambit-order",
                   "Invalid procedure call or argument: text position " +
                       std::to_string(position) + " is outside 1.." +
                       std::to_string(Length() + 1) + ".");
  int seen = 0;
  for (size_t i = 0; i < text_.size(); ++i) {
    if (IsContinuation(text_[i])) continue;
    if (++seen == position) return i;
  }
  return text_.size();
}

void StringBuilder::Insert(int position, std::string_view text) {
  text_.insert(ByteOffset(position), text);
}

void StringBuilder::Remove(int start, int count) {
  if (count < 0)
    throw ComError(err::kInvalidArgument, "ambit-order",
                   "Invalid procedure call or argument: negative count " +
                       std::to_string(count) + ".");
  size_t from = ByteOffset(start);
  int end_position = std::min(start + count, Length() + 1);
  size_t to = ByteOffset(end_position);
  text_.erase(from, to - from);
}

std::string FormatTemplate(std::string_view templ, const std::vector<Variant>& values) {
  std::string out;
  out.reserve(templ.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    char c = templ[i];
    if (c != '%' || i + 1 >= templ.size()) {
      out += c;
      continue;
    }
    if (templ[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    size_t number = 0;
    while (j < templ.size() && templ[j] >= '0' && templ[j] <= '9' && j - i <= 4)
      number = number * 10 + static_cast<size_t>(templ[j++] - '0');
    if (j == i + 1 || number == 0 || number > values.size()) {
      out.append(templ.substr(i, j - i));
    } else {
      out += CStr(values[number - 1]);
    }
    i = j - 1;
  }
  return out;
}

}  // namespace ambit
