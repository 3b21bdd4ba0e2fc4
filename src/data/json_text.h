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
#include <functional>
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

  void Raw(std::string_view s) { buffer_.append(s); }
  void Char(char c) { buffer_.push_back(c); }
  void String(std::string_view s);  // quoted and escaped
  void Key(std::string_view name) {  // an object's key and its colon
    String(name);
    buffer_.append(pretty_ ? ": " : ":");
  }
  void Int(int64_t i);
  void Double(double d);  // null when not finite, as JSON has no such numbers
  void Null() { buffer_.append("null"); }
  void Bool(bool b) { buffer_.append(b ? "true" : "false"); }

  // Pretty layout for people (`ambit-order call -o json`): writers ask for line breaks where a
  // new element begins; without pretty they cost nothing.
  void set_pretty(bool pretty) { pretty_ = pretty; }
  bool pretty() const { return pretty_; }
  // Levels added to every NewLine's depth: where a value nested in a larger text begins.
  void set_indent(int levels) { indent_ = levels; }
  void NewLine(int depth);

  // Hands the buffer on once it holds flush_at bytes; writers call it between elements.
  void MaybeFlush() {
    if (target_ && buffer_.size() >= flush_at_) Flush();
  }
  // Hands on whatever is left. False once the target has refused.
  bool Flush();
  bool failed() const { return failed_; }

  // The text not yet handed on (all of it without a target).
  std::string& text() { return buffer_; }

 private:
  std::string buffer_;
  FlushTarget target_;
  size_t flush_at_ = 0;
  bool pretty_ = false;
  int indent_ = 0;
  bool failed_ = false;
};

}  // namespace ambit

#endif  // AMBIT_DATA_JSON_TEXT_H_
