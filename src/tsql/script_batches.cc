#include "tsql/script_batches.h"

#include <charconv>

namespace ambit::tsql {
namespace {

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<int> ParseGoLine(std::string_view line) {
  // Most lines fail at their first letter, before any other work.
  size_t i = 0;
  while (i < line.size() && IsBlank(line[i])) ++i;
  if (line.size() - i < 2 || (line[i] | 0x20) != 'g' || (line[i + 1] | 0x20) != 'o') {
    return std::nullopt;
  }
  std::string_view s = Trim(line.substr(i));
  if (size_t comment = s.find("--"); comment != std::string_view::npos) {
    s = Trim(s.substr(0, comment));
  }
  if (!s.empty() && s.back() == ';') s = Trim(s.substr(0, s.size() - 1));
  std::string_view rest = s.substr(2);
  if (rest.empty()) return 1;
  if (!IsBlank(rest[0])) return std::nullopt;  // GOTO, GOx
  rest = Trim(rest);
  int count = 0;
  auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), count);
  if (ec != std::errc() || end != rest.data() + rest.size() || count < 1) return std::nullopt;
  return count;
}

// Callers feed whole lines (or runs of them), so no "--", "/*" or doubled quote is cut in two.
void GoLineScanner::Advance(std::string_view text) {
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    const char next = i + 1 < n ? text[i + 1] : '\0';
    switch (state_) {
      case State::kCode:
        if (c == '\'') {
          state_ = State::kString;
        } else if (c == '"') {
          state_ = State::kQuotedName;
        } else if (c == '[') {
          state_ = State::kBracketName;
        } else if (c == '-' && next == '-') {
          size_t nl = text.find('\n', i);
          if (nl == std::string_view::npos) return;
          i = nl;
        } else if (c == '/' && next == '*') {
          state_ = State::kComment;
          comment_depth_ = 1;
          ++i;
        }
        break;
      case State::kString:
      case State::kQuotedName:
      case State::kBracketName: {
        const char close = state_ == State::kString       ? '\''
                           : state_ == State::kQuotedName ? '"'
                                                          : ']';
        if (c != close) break;
        if (next == close) {
          ++i;  // doubled: the character itself
        } else {
          state_ = State::kCode;
        }
        break;
      }
      case State::kComment:
        if (c == '/' && next == '*') {
          ++comment_depth_;
          ++i;
        } else if (c == '*' && next == '/') {
          ++i;
          if (--comment_depth_ == 0) state_ = State::kCode;
        }
        break;
    }
  }
}

bool HasStatement(std::string_view batch) {
  size_t i = 0;
  const size_t n = batch.size();
  while (i < n) {
    const char c = batch[i];
    if (IsBlank(c)) {
      ++i;
    } else if (c == '-' && i + 1 < n && batch[i + 1] == '-') {
      i = batch.find('\n', i);
      if (i == std::string_view::npos) return false;
    } else if (c == '/' && i + 1 < n && batch[i + 1] == '*') {
      int depth = 0;
      do {
        if (batch.compare(i, 2, "/*") == 0) {
          ++depth;
          i += 2;
        } else if (batch.compare(i, 2, "*/") == 0) {
          --depth;
          i += 2;
        } else {
          ++i;
        }
      } while (depth > 0 && i < n);
      if (depth > 0) return true;  // unclosed: the engine reports it
    } else {
      return true;
    }
  }
  return false;
}

std::vector<ScriptBatch> SplitScript(std::string_view script) {
  std::vector<ScriptBatch> batches;
  GoLineScanner scanner;
  size_t batch_start = 0;
  size_t scanned = 0;  // the scanner has seen the text up to here
  int batch_line = 1;
  int line_no = 1;
  auto close = [&](size_t end, int repeat) {
    std::string_view text = script.substr(batch_start, end - batch_start);
    if (HasStatement(text)) batches.push_back({text, batch_line, repeat});
  };
  for (size_t pos = 0; pos < script.size(); ++line_no) {
    size_t nl = script.find('\n', pos);
    size_t end = nl == std::string_view::npos ? script.size() : nl + 1;
    // The text before a line is scanned only when the line looks like GO: scripts without GO
    // lines (nearly every Execute) cost no more than a look at each line's first letter.
    if (std::optional<int> repeat = ParseGoLine(script.substr(pos, end - pos))) {
      scanner.Advance(script.substr(scanned, pos - scanned));
      scanned = pos;
      if (scanner.in_code()) {
        close(pos, *repeat);
        batch_start = scanned = end;
        batch_line = line_no + 1;
      }
    }
    pos = end;
  }
  close(script.size(), 1);
  return batches;
}

std::optional<BatchCollector::Batch> BatchCollector::AddLine(std::string_view line) {
  ++line_no_;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (scanner_.in_code()) {
    if (std::optional<int> repeat = ParseGoLine(line)) {
      std::optional<Batch> batch = Take(*repeat);
      first_line_ = line_no_ + 1;
      return batch;
    }
  }
  scanner_.Advance(line);
  if (pending_lines_ > 0) text_ += '\n';
  text_ += line;
  ++pending_lines_;
  return std::nullopt;
}

std::optional<BatchCollector::Batch> BatchCollector::Finish() { return Take(1); }

std::optional<BatchCollector::Batch> BatchCollector::Take(int repeat) {
  Batch batch{std::move(text_), first_line_, repeat};
  text_.clear();
  pending_lines_ = 0;
  scanner_ = GoLineScanner();
  if (!HasStatement(batch.text)) return std::nullopt;
  return batch;
}

}  // namespace ambit::tsql
