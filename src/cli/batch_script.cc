#include "cli/batch_script.h"

#include <cctype>
#include <charconv>

namespace ambit::cli {
namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  size_t e = s.size();
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool IsBlank(std::string_view s) { return Trim(s).empty(); }

}  // namespace

std::optional<int> ParseGoLine(std::string_view line) {
  std::string_view s = Trim(line);
  if (size_t comment = s.find("--"); comment != std::string_view::npos) {
    s = Trim(s.substr(0, comment));
  }
  if (s.size() < 2 || std::toupper(static_cast<unsigned char>(s[0])) != 'G' ||
      std::toupper(static_cast<unsigned char>(s[1])) != 'O') {
    return std::nullopt;
  }
  std::string_view rest = s.substr(2);
  if (rest.empty()) return 1;
  if (!std::isspace(static_cast<unsigned char>(rest[0]))) return std::nullopt;  // GOTO, GOx
  rest = Trim(rest);
  int count = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
  if (ec != std::errc() || end != rest.data() + rest.size() || count < 1) return std::nullopt;
  return count;
}

std::optional<Batch> BatchCollector::AddLine(std::string_view line) {
  ++line_no_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (auto repeat = ParseGoLine(line)) {
    Batch batch{std::move(text_), first_line_, *repeat};
    bool blank = IsBlank(batch.text);
    text_.clear();
    pending_lines_ = 0;
    first_line_ = line_no_ + 1;
    if (blank) return std::nullopt;
    return batch;
  }
  if (pending_lines_ > 0) text_ += '\n';
  text_ += line;
  ++pending_lines_;
  return std::nullopt;
}

std::optional<Batch> BatchCollector::Finish() {
  Batch batch{std::move(text_), first_line_, 1};
  text_.clear();
  pending_lines_ = 0;
  if (IsBlank(batch.text)) return std::nullopt;
  return batch;
}

std::vector<Batch> SplitBatches(std::string_view script) {
  BatchCollector collector;
  std::vector<Batch> batches;
  size_t start = 0;
  while (start < script.size()) {
    size_t nl = script.find('\n', start);
    if (nl == std::string_view::npos) nl = script.size();
    if (auto b = collector.AddLine(script.substr(start, nl - start))) {
      batches.push_back(std::move(*b));
    }
    start = nl + 1;
  }
  if (auto b = collector.Finish()) batches.push_back(std::move(*b));
  return batches;
}

}  // namespace ambit::cli
