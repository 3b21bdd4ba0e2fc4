#include "tsql/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string>

#include "base/com_error.h"

namespace ambit::tsql {
namespace {

// Character classes in one table: the lexer asks for every byte of the batch.
enum : uint8_t { kIdentStart = 1, kIdentPart = 2, kDigit = 4, kBlank = 8, kOneCharOp = 16 };
constexpr auto kClasses = [] {
  std::array<uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' ||
                 c >= 0x80;
    bool digit = c >= '0' && c <= '9';
    bool op = c != 0 && std::string_view("(),.;=<>+-*/%&|^~").find(static_cast<char>(c)) !=
                            std::string_view::npos;
    t[c] = static_cast<uint8_t>((start ? kIdentStart | kIdentPart : 0) |
                                (digit ? kDigit | kIdentPart : 0) |
                                (c == '@' || c == '$' ? kIdentPart : 0) |
                                (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' ||
                                         c == '\v'
                                     ? kBlank
                                     : 0) |
                                (op ? kOneCharOp : 0));
  }
  return t;
}();

bool IsIdentStart(unsigned char c) { return kClasses[c] & kIdentStart; }
bool IsIdentPart(unsigned char c) { return kClasses[c] & kIdentPart; }
bool IsDigit(unsigned char c) { return kClasses[c] & kDigit; }

[[noreturn]] void SyntaxError(int number, std::string message) {
  throw ComError(number, kEngineErrorSource, std::move(message));
}

class Lexer {
 public:
  Lexer(std::string_view text, std::string* unescaped) : text_(text), unescaped_(unescaped) {
    unescaped_->clear();
  }

  // The common tokens (names, punctuation) and the blanks between them are read here with
  // the position in a register; the rest (literals, comments, variables, operators of
  // two characters) go through Next and the members.
  void Run(std::vector<Token>& out) {
    out.clear();
    // Dense SQL runs a token to every three or four bytes; a larger guess costs more (the
    // allocator consolidates its bins when a block this size comes back) than one regrowth.
    out.reserve(text_.size() / 3 + 16);
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    const char* p = begin;
    while (true) {
      unsigned char c = 0;
      while (p != end && (kClasses[c = static_cast<unsigned char>(*p)] & kBlank)) ++p;
      if (p == end) break;
      const unsigned char next = p + 1 != end ? static_cast<unsigned char>(p[1]) : 0;
      Token t;
      t.offset = static_cast<size_t>(p - begin);
      const uint8_t cls = kClasses[c];
      if ((cls & kIdentStart) && !((c == 'N' || c == 'n') && next == '\'')) {
        const char* start = p++;
        while (p != end && (kClasses[static_cast<unsigned char>(*p)] & kIdentPart)) ++p;
        t.kind = TokenKind::kIdentifier;
        t.text = std::string_view(start, static_cast<size_t>(p - start));
      } else if ((cls & kOneCharOp) && next != '=' && next != '<' && next != '>' &&
                 !(c == '.' && IsDigit(next)) && !(c == '-' && next == '-') &&
                 !(c == '/' && next == '*')) {
        t.kind = TokenKind::kOperator;
        t.text = std::string_view(p++, 1);
      } else {
        pos_ = static_cast<size_t>(p - begin);
        if (!SkipComment()) Next(&t);
        p = begin + pos_;
        if (t.kind == TokenKind::kEnd) continue;  // a comment
      }
      out.push_back(t);
    }
    Token end_token;
    end_token.offset = text_.size();
    out.push_back(end_token);
  }

 private:
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  void Advance(size_t n = 1) { pos_ = std::min(pos_ + n, text_.size()); }

  // Moves past the characters pred accepts, keeping the position in a register rather than
  // in pos_ while it runs.
  template <typename Pred>
  void AdvanceWhile(Pred pred) {
    const char* p = text_.data() + pos_;
    const char* end = text_.data() + text_.size();
    while (p != end && pred(static_cast<unsigned char>(*p))) ++p;
    pos_ = p - text_.data();
  }

  // Moves past a comment at the position; false when none starts there.
  bool SkipComment() {
    const char c = text_[pos_];
    if (c == '-' && Peek(1) == '-') {
      const size_t eol = text_.find('\n', pos_);
      pos_ = eol == std::string_view::npos ? text_.size() : eol;
      return true;
    }
    if (c != '/' || Peek(1) != '*') return false;
    // T-SQL block comments nest.
    int depth = 0;
    do {
      if (pos_ + 1 >= text_.size()) SyntaxError(113, "Missing end comment mark '*/'.");
      if (text_[pos_] == '/' && text_[pos_ + 1] == '*') {
        ++depth;
        Advance(2);
      } else if (text_[pos_] == '*' && text_[pos_ + 1] == '/') {
        --depth;
        Advance(2);
      } else {
        Advance();
      }
    } while (depth > 0);
    return true;
  }

  // The body of a quoted token, unescaped. Most bodies hold no doubled quote: they are the
  // batch's own text up to the closing quote. The others are copied, unescaped, to the end of
  // *unescaped_, which never holds more than the batch and so never moves once reserved.
  std::string_view QuotedBody(char close, bool doubled_escape) {
    Advance();  // opening quote
    size_t end = text_.find(close, pos_);
    if (end != std::string_view::npos && (!doubled_escape || end + 1 >= text_.size() ||
                                          text_[end + 1] != close)) {
      std::string_view piece = text_.substr(pos_, end - pos_);
      pos_ = end + 1;
      return piece;
    }
    std::string& store = *unescaped_;
    if (store.empty()) store.reserve(text_.size());
    const size_t begin = store.size();
    while (true) {
      if (pos_ >= text_.size()) {
        std::string body = store.substr(begin);
        if (close == '\'') {
          SyntaxError(105, "Unclosed quotation mark after the character string '" + body + "'.");
        }
        SyntaxError(105, "Unclosed quotation mark before the character string '" + body + "'.");
      }
      char c = text_[pos_];
      if (c == close) {
        if (doubled_escape && Peek(1) == close) {
          store.push_back(close);
          Advance(2);
          continue;
        }
        Advance();
        return std::string_view(store).substr(begin);
      }
      store.push_back(c);
      Advance();
    }
  }

  // The text from start to the current position.
  std::string_view Piece(size_t start) const {
    return std::string_view(text_.data() + start, pos_ - start);
  }

  void Next(Token* t) {
    size_t start = pos_;
    t->offset = start;
    unsigned char c = text_[pos_];
    if (IsIdentStart(c) && !((c == 'N' || c == 'n') && Peek(1) == '\'')) {
      AdvanceWhile(IsIdentPart);
      t->kind = TokenKind::kIdentifier;
      t->text = Piece(start);
      return;
    }
    if (c == 'N' || c == 'n') {
      Advance();
      t->kind = TokenKind::kNString;
      t->text = QuotedBody('\'', true);
      return;
    }
    if (c == '\'' || c == '[' || c == '"') {
      t->kind = c == '\'' ? TokenKind::kString : TokenKind::kQuotedIdentifier;
      t->text = QuotedBody(c == '[' ? ']' : static_cast<char>(c), true);
      return;
    }
    if (c == '@') {
      bool system = Peek(1) == '@';
      Advance(system ? 2 : 1);
      AdvanceWhile(IsIdentPart);
      if (pos_ - start == (system ? 2u : 1u)) SyntaxError(102, "Incorrect syntax near '@'.");
      t->kind = system ? TokenKind::kSystemVariable : TokenKind::kVariable;
      t->text = Piece(start);
      return;
    }
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
      Number();
    } else {
      Operator();
    }
    t->kind = c == '.' && pos_ - start > 1 ? TokenKind::kNumber
              : IsDigit(c)                 ? TokenKind::kNumber
                                           : TokenKind::kOperator;
    t->text = Piece(start);
  }

  void Number() {
    if (text_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      Advance(2);
      AdvanceWhile([](unsigned char c) { return std::isxdigit(c) != 0; });
    } else {
      AdvanceWhile(IsDigit);
      if (Peek() == '.') {
        Advance();
        AdvanceWhile(IsDigit);
      }
      if ((Peek() == 'e' || Peek() == 'E') &&
          (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
        Advance(2);
        AdvanceWhile(IsDigit);
      }
    }
  }

  void Operator() {
    static constexpr std::string_view kTwoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=",
                                                    "-=", "*=", "/=", "%=", "&=", "|=", "^=",
                                                    "::"};
    char next = Peek(1);
    if (next == '=' || next == '>' || next == '<' || next == ':') {
      std::string_view two = text_.substr(pos_, 2);
      for (std::string_view op : kTwoChar) {
        if (two == op) {
          pos_ += 2;
          return;
        }
      }
    }
    if (kClasses[static_cast<unsigned char>(text_[pos_])] & kOneCharOp) {
      ++pos_;
      return;
    }
    SyntaxError(102, "Incorrect syntax near '" + std::string(1, text_[pos_]) + "'.");
  }

  std::string_view text_;
  std::string* unescaped_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text, std::string* unescaped) {
  std::vector<Token> out;
  Lexer(text, unescaped).Run(out);
  return out;
}

void Tokenize(std::string_view text, std::string* unescaped, std::vector<Token>* out) {
  Lexer(text, unescaped).Run(*out);
}

void FailNestedTooDeeply() {
  throw ComError(191, kEngineErrorSource,
                 "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                 "break it up into smaller queries.");
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace ambit::tsql
