// Recursive-descent parser of T-SQL batches. Statements need no semicolons: the grammar finds
// where one ends. Anything it does not know is error 102 naming the token, so unsupported
// syntax never reaches SQLite half-understood.
#ifndef AMBIT_TSQL_PARSER_H_
#define AMBIT_TSQL_PARSER_H_

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tsql/ast.h"
#include "tsql/lexer.h"
#include "tsql/token.h"

namespace ambit::tsql {

// Parses one batch (no GO inside). Throws ComError 102 and friends.
std::unique_ptr<Batch> ParseBatch(std::string_view text);

// True for words that can never be an alias or a bare column name.
bool IsReservedWord(std::string_view word);

class Parser {
 public:
  explicit Parser(std::string_view text);
  ~Parser();
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  std::unique_ptr<Batch> ParseAll();
  // The line of the token the parser stands on (where a syntax error is reported).
  int current_line() const;

  // --- statements (parser.cc, parser_dml.cc, parser_ddl.cc)
  StmtPtr ParseStatement();
  StmtPtr ParseBlockOrStatement();
  StmtPtr ParseDeclare();
  StmtPtr ParseSet();
  StmtPtr ParseIf();
  StmtPtr ParseWhile();
  StmtPtr ParseBegin();
  StmtPtr ParseExec();
  std::unique_ptr<struct ExecStmt> ParseExecBody(bool keyword = true);
  StmtPtr ParsePrint();
  StmtPtr ParseRaiserror();
  StmtPtr ParseReturn();
  StmtPtr ParseTransactionEnd(StmtKind kind);
  StmtPtr ParseInsert();
  StmtPtr ParseUpdate();
  StmtPtr ParseDelete();
  std::shared_ptr<OutputClause> ParseOutputClause();
  StmtPtr ParseCreate();
  StmtPtr ParseCreateTable();
  StmtPtr ParseCreateIndex(bool unique);
  StmtPtr ParseCreateView(bool alter);
  StmtPtr ParseCreateProcedure(bool alter);
  StmtPtr ParseCreateTrigger(bool alter, bool or_alter);
  // The statements of a procedure or trigger body: the rest of the batch.
  void ParseBody(std::vector<StmtPtr>* body);
  StmtPtr ParseDrop();
  StmtPtr ParseTruncate();
  bool AtStatementStart() const;

  // --- queries (parser_select.cc)
  std::shared_ptr<Select> ParseSelect();
  SelectBlock ParseSelectBlock();
  void ParseQueryHints(Select* select);
  std::vector<TableRefPtr> ParseFromList();
  TableRefPtr ParseTableSource();
  TableRefPtr ParseTablePrimary();
  TableRefPtr ParseTableOperand();
  TableRefPtr ParsePivot(TableRefPtr source);
  void SkipTableHints();
  std::string ParseOptionalAlias();
  void ParseColumnAliases(TableRef* ref);
  void ParseJsonColumns(TableRef* ref);
  void ParseValuesSource(TableRef* ref);

  // --- expressions (parser_expr.cc)
  ExprPtr ParseExpr();
  ExprPtr ParseOr();
  // The binary levels, loosest first; ParseLevel(n) reads an expression whose operators are
  // all of level n or tighter.
  enum : int {
    kOrLevel = 1,
    kAndLevel,
    kNotLevel,  // prefix NOT only
    kPredicateLevel,
    kAdditiveLevel,
    kMultiplicativeLevel,
  };
  ExprPtr ParseLevel(int min);
  int OperatorLevel(std::string_view* op) const;
  ExprPtr ParsePredicateTail(ExprPtr left, size_t offset);
  ExprPtr ParseUnary();
  ExprPtr ParsePrimary();
  ExprPtr ParseFunctionCall(std::string_view name, size_t offset);
  ExprPtr ParseCase(size_t offset);
  void ParseWindowFrame(Expr* e);
  void ParseOrderList(std::vector<struct OrderItem>* items);
  // in_cast: CAST/CONVERT, where char types without a length have 30 characters.
  TypeRef ParseType(bool in_cast = false);
  std::vector<std::string> ParseQualifiedName();
  // A table name, or a table variable ("@t", lower case).
  std::vector<std::string> ParseTableName();
  void ParseTableBody(struct CreateTableStmt* s);
  void ParseReferences(struct ForeignKey* fk);
  std::string ParseName();

  // --- tokens (the small ones inline: the grammar asks them at every step)
  // The end token is repeated kEndPadding times after itself, so that a look a few tokens
  // ahead, the grammar's usual one, needs no bounds check.
  static constexpr size_t kEndPadding = 3;
  const Token& Peek(size_t ahead = 0) const {
    if (ahead <= kEndPadding) return tokens_[pos_ + ahead];
    return tokens_[std::min(pos_ + ahead, end_)];
  }
  bool IsKeyword(std::string_view word, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kIdentifier && EqualsNoCase(t.text, word);
  }
  bool IsOp(std::string_view op, size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::kOperator && t.text.size() == op.size() && t.text[0] == op[0] &&
           (op.size() == 1 || t.text == op);
  }
  const Token& Advance() {
    const Token& t = tokens_[pos_];
    if (pos_ < end_) ++pos_;
    return t;
  }
  bool AcceptKeyword(std::string_view word) {
    if (!IsKeyword(word)) return false;
    Advance();
    return true;
  }
  void ExpectKeyword(std::string_view word);
  bool AcceptOp(std::string_view op) {
    if (!IsOp(op)) return false;
    Advance();
    return true;
  }
  void ExpectOp(std::string_view op);
  // An identifier that is not a reserved word. Inline: asked of most names, several times.
  bool IsName(size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    if (t.kind == TokenKind::kQuotedIdentifier) return true;
    return t.kind == TokenKind::kIdentifier && !IsReserved(t);
  }
  // IsReservedWord of an identifier token's text, asked once a token.
  static bool IsReserved(const Token& t) {
    if (t.reserved < 0) t.reserved = IsReservedWord(t.text) ? 1 : 0;
    return t.reserved != 0;
  }
  [[noreturn]] void Fail() const;       // error 102 near the current token
  [[noreturn]] void FailAt(const Token& token) const;
  size_t Offset() const { return Peek().offset; }
  size_t PreviousEnd() const;
  int depth_ = 0;  // nesting guard: hostile input must not exhaust the stack

 private:
  std::string_view text_;
  std::string unescaped_;  // the texts of tokens that had doubled quotes; before tokens_
  std::vector<Token> tokens_;  // ends with kEndPadding + 1 end tokens
  size_t end_ = 0;             // the index of the first end token; pos_ never passes it
  size_t pos_ = 0;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_PARSER_H_
