// Text helpers the methods build their SQL with.
#ifndef AMBIT_FRAME_TEXT_SERVICES_H_
#define AMBIT_FRAME_TEXT_SERVICES_H_

#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"

namespace ambit {

// An accumulating text buffer. Positions are 1-based and count characters (UTF-8 code points),
// so Remove(1, Length()) always empties it.
class StringBuilder {
 public:
  StringBuilder& Append(std::string_view text) {
    text_.append(text);
    return *this;
  }
  // Only position 1 (the front) and Length()+1 (the end) are used by callers, but any position
  // within the text works.
  void Insert(int position, std::string_view text);
  void Remove(int start, int count);
  int Length() const;
  const std::string& ToString() const { return text_; }
  void Clear() { text_.clear(); }

 private:
  size_t ByteOffset(int position) const;  // of a 1-based character position
  std::string text_;
};

// Replaces "%1", "%2", ... "%N" by the values of the same number (1-based); "%10" is the tenth
// value, not "%1" followed by "0". A placeholder without a value stays as it is, and "%%" is
// one "%".
std::string FormatTemplate(std::string_view templ, const std::vector<Variant>& values);

}  // namespace ambit

#endif  // AMBIT_FRAME_TEXT_SERVICES_H_
