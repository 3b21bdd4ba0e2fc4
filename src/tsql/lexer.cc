#include "tsql/lexer.h"

#include <cctype>
#include <string>

#include "base/com_error.h"

namespace ambit::tsql {
namespace {

bool IsIdentStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}

bool IsIdentPart(unsigned char c) {
  return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '@' || c == '$';
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

[[noreturn]] void SyntaxError(int number, std::string message) {
  throw ComError(number, kEngineErrorSource, std::move(message));
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  std::vector<Token> Run() {
    std::vector<Token> out;
    out.reserve(text_.size() / 4 + 2);
    while (true) {
      SkipBlanksAndComments();
      if (pos_ >= text_.size()) break;
      out.push_back(Next());
    }
    Token end;
    end.offset = text_.size();
    end.line = line_;
    out.push_back(end);
    return out;
  }

 private:
  char Peek(size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }

  void Advance(size_t n = 1) {
    for (size_t i = 0; i < n && pos_ < text_.size(); ++i) {
      if (text_[pos_] == '\n') ++line_;
      ++pos_;
    }
  }

  void SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      unsigned char c = text_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        Advance();
      } else if (c == '-' && Peek(1) == '-') {
        while (pos_ < text_.size() && text_[pos_] != '\n') Advance();
      } else if (c == '/' && Peek(1) == '*') {
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
      } else {
        break;
      }
    }
  }

  Token Make(TokenKind kind, std::string text, size_t start, int line) {
    Token t;
    t.kind = kind;
    t.text = std::move(text);
    t.offset = start;
    t.line = line;
    return t;
  }

  std::string QuotedBody(char close, bool doubled_escape) {
    std::string body;
    Advance();  // opening quote
    while (true) {
      if (pos_ >= text_.size()) {
        if (close == '\'') {
          SyntaxError(105, "Unclosed quotation mark after the character string '" + body + "'.");
        }
        SyntaxError(105, "Unclosed quotation mark before the character string '" + body + "'.");
      }
      char c = text_[pos_];
      if (c == close) {
        if (doubled_escape && Peek(1) == close) {
          body.push_back(close);
          Advance(2);
          continue;
        }
        Advance();
        return body;
      }
      body.push_back(c);
      Advance();
    }
  }

  Token Next() {
    size_t start = pos_;
    int line = line_;
    unsigned char c = text_[pos_];
    if ((c == 'N' || c == 'n') && Peek(1) == '\'') {
      Advance();
      return Make(TokenKind::kNString, QuotedBody('\'', true), start, line);
    }
    if (c == '\'') return Make(TokenKind::kString, QuotedBody('\'', true), start, line);
    if (c == '[') return Make(TokenKind::kQuotedIdentifier, QuotedBody(']', true), start, line);
    if (c == '"') return Make(TokenKind::kQuotedIdentifier, QuotedBody('"', true), start, line);
    if (c == '@') {
      bool system = Peek(1) == '@';
      Advance(system ? 2 : 1);
      while (pos_ < text_.size() && IsIdentPart(text_[pos_])) Advance();
      std::string name(text_.substr(start, pos_ - start));
      if (name.size() == (system ? 2u : 1u)) SyntaxError(102, "Incorrect syntax near '@'.");
      return Make(system ? TokenKind::kSystemVariable : TokenKind::kVariable, name, start, line);
    }
    if (IsIdentStart(c)) {
      while (pos_ < text_.size() && IsIdentPart(text_[pos_])) Advance();
      return Make(TokenKind::kIdentifier, std::string(text_.substr(start, pos_ - start)), start,
                  line);
    }
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) return Number(start, line);
    return Operator(start, line);
  }

  Token Number(size_t start, int line) {
    if (text_[pos_] == '0' && (Peek(1) == 'x' || Peek(1) == 'X')) {
      Advance(2);
      while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
        Advance();
      }
    } else {
      while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
      if (Peek() == '.') {
        Advance();
        while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
      }
      if ((Peek() == 'e' || Peek() == 'E') &&
          (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
        Advance(2);
        while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
      }
    }
    return Make(TokenKind::kNumber, std::string(text_.substr(start, pos_ - start)), start, line);
  }

  Token Operator(size_t start, int line) {
    static constexpr std::string_view kTwoChar[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=",
                                                    "-=", "*=", "/=", "%=", "&=", "|=", "^=",
                                                    "::"};
    char next = Peek(1);
    if (next == '=' || next == '>' || next == '<' || next == ':') {
      std::string_view two = text_.substr(pos_, 2);
      for (std::string_view op : kTwoChar) {
        if (two == op) {
          Advance(2);
          return Make(TokenKind::kOperator, std::string(op), start, line);
        }
      }
    }
    static constexpr std::string_view kOneChar = "(),.;=<>+-*/%&|^~";
    if (kOneChar.find(text_[pos_]) != std::string_view::npos) {
      Advance();
      return Make(TokenKind::kOperator, std::string(1, text_[start]), start, line);
    }
    SyntaxError(102, "Incorrect syntax near '" + std::string(1, text_[pos_]) + "'.");
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) { return Lexer(text).Run(); }

void FailNestedTooDeeply() {
  throw ComError(191, kEngineErrorSource,
                 "Some part of your SQL statement is nested too deeply. Rewrite the query or "
                 "break it up into smaller queries.");
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string ToLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace ambit::tsql
