// JSON written as text straight into a buffer, without building a tree first: large answers
// (a list of tens of thousands of rows) cost their text and nothing more. With a flush target
// the buffer is handed on whenever it fills, so an answer can stream out while it is written.
//
// Values are written as nlohmann's dump(-1) writes them (strings as UTF-8, doubles in their
// shortest round-trip form with ".0" on whole numbers), so clients see no difference between the
// two paths; bytes that are not UTF-8 become U+FFFD, one for each such byte.
#ifndef AMBIT_DATA_JSON_TEXT_H_
#define AMBIT_DATA_JSON_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace ambit {

class JsonText {
 public:
  // Answers false when the text cannot go on (the client went away): writing stops mattering.
  using FlushTarget = std::function<bool(std::string_view)>;

  // Without a target the whole text stays in text().
  JsonText() = default;
  JsonText(FlushTarget target, size_t flush_at) : target_(std::move(target)), flush_at_(flush_at) {}
  JsonText(const JsonText&) = delete;
  JsonText& operator=(const JsonText&) = delete;

  void Raw(std::string_view s) {
    if (s.empty()) return;  // the buffer may not be there yet, and memcpy wants one
    std::memcpy(Room(s.size()), s.data(), s.size());
    used_ += s.size();
  }
  void Char(char c) {
    *Room(1) = c;
    ++used_;
  }
  void String(std::string_view s) {  // quoted and escaped
    if (s.empty()) return Raw("\"\"");  // a good part of a list's cells
    Quoted(s);
  }
  void Key(std::string_view name) {  // an object's key and its colon
    String(name);
    if (pretty_) Raw(": ");
    else Char(':');
  }
  void Int(int64_t i) {
    if (static_cast<uint64_t>(i) >= 10) return Digits(i);
    *Room(1) = static_cast<char>('0' + i);  // most integer cells are flags and codes
    ++used_;
  }
  void Double(double d);  // null when not finite, as JSON has no such numbers
  // round(d * 10^scale) / 10^scale as Double writes it; most such values are written straight
  // from their digits, without a general shortest-form search.
  void Decimal(double d, int scale);
  void Null() { Raw("null"); }
  void Bool(bool b) { b ? Raw("true") : Raw("false"); }

  // Pretty layout for people (`ambit-order call -o json`): writers ask for line breaks where a
  // new element begins; without pretty they cost nothing.
  void set_pretty(bool pretty) { pretty_ = pretty; }
  bool pretty() const { return pretty_; }
  // Levels added to every NewLine's depth: where a value nested in a larger text begins.
  void set_indent(int levels) { indent_ = levels; }
  void NewLine(int depth);

  // Hands the buffer on once it holds flush_at bytes; writers call it between elements.
  void MaybeFlush() {
    if (target_ && used_ >= flush_at_) Flush();
  }
  // Hands on whatever is left. False once the target has refused.
  bool Flush();
  bool failed() const { return failed_; }

  // The text not yet handed on (all of it without a target).
  std::string text() const { return std::string(data_.get(), used_); }

 private:
  // Where the next n bytes go: writers copy into the buffer through a pointer and add what
  // they wrote to used_, one capacity check per value instead of one per append.
  char* Room(size_t n) {
    if (capacity_ - used_ < n) Grow(n);
    return data_.get() + used_;
  }
  void Grow(size_t n);
  void Quoted(std::string_view s);
  void StringSlow(std::string_view s, size_t clean);
  void Digits(int64_t i);
  bool Fixed(double k, int scale);

  // Not a std::string: growing one fills the new room with zeros that are written over at once.
  std::unique_ptr<char[]> data_;
  size_t capacity_ = 0;
  size_t used_ = 0;
  FlushTarget target_;
  size_t flush_at_ = 0;
  bool pretty_ = false;
  int indent_ = 0;
  bool failed_ = false;
};

}  // namespace ambit

#endif  // AMBIT_DATA_JSON_TEXT_H_
