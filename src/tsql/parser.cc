#include "tsql/parser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

#include "base/com_error.h"
#include "tsql/lexer.h"

namespace ambit::tsql {
namespace {

constexpr int kMaxDepth = 200;

// Raises the depth on entry and lowers it on exit, so deeply nested input fails cleanly.
class DepthGuard {
 public:
  explicit DepthGuard(Parser* p) : p_(p) {
    if (++p_->depth_ > kMaxDepth) {
      FailNestedTooDeeply();
    }
  }
  ~DepthGuard() { --p_->depth_; }

 private:
  Parser* p_;
};

}  // namespace

bool IsReservedWord(std::string_view word) {
  // Lower case. The parser asks this for nearly every token.
  static constexpr std::string_view kWords[] = {
      "all",      "alter",    "and",      "as",        "asc",      "begin",     "between",
      "break",    "by",       "case",     "collate",   "commit",   "continue",  "create",
      "cross",    "declare",  "default",  "delete",    "desc",     "distinct",  "drop",
      "else",     "end",      "except",   "exec",      "execute",  "exists",    "for",
      "from",     "full",     "go",       "group",     "having",   "if",        "in",
      "index",    "inner",    "insert",   "intersect", "into",     "is",        "join",
      "left",     "like",     "not",      "null",      "on",       "option",    "or",
      "order",    "outer",    "pivot",    "print",     "proc",
      "procedure", "raiserror", "return",
      "right",    "rollback", "select",   "set",       "table",    "then",      "top",
      "truncate", "union",    "unpivot",  "update",
      "values",    "view",     "when",      "where",
      "while",    "with"};
  // Open addressing on length, first and last letter: a question costs a hash and, for most
  // words, one comparison or none.
  static constexpr auto kHash = [](std::string_view w) {
    return (w.size() * 7 + (static_cast<unsigned char>(w[0]) | 0x20) * 25 +
            (static_cast<unsigned char>(w.back()) | 0x20) * 5) &
           255;
  };
  static constexpr auto kTable = [] {
    std::array<uint8_t, 256> t{};  // index + 1 into kWords; 0 is an empty slot
    for (size_t i = 0; i < std::size(kWords); ++i) {
      size_t h = kHash(kWords[i]);
      while (t[h] != 0) h = (h + 1) & 255;
      t[h] = static_cast<uint8_t>(i + 1);
    }
    return t;
  }();
  if (word.size() < 2 || word.size() > 9) return false;
  for (size_t h = kHash(word); kTable[h] != 0; h = (h + 1) & 255) {
    if (EqualsNoCase(kWords[kTable[h] - 1], word)) return true;
  }
  return false;
}

namespace {

// The token vector of the thread's last parse, kept for the next: a list statement's tokens
// take tens of kilobytes, and a block that size makes the C library consolidate its bins of
// small freed blocks both when it is taken and when it comes back. A parser made while another
// runs (dynamic SQL) finds none and makes its own.
thread_local std::vector<Token> spare_tokens;
constexpr size_t kMaxSpareTokens = 16384;

}  // namespace

Parser::Parser(std::string_view text) : text_(text) {
  tokens_.swap(spare_tokens);
  Tokenize(text, &unescaped_, &tokens_);
  end_ = tokens_.size() - 1;
  for (size_t i = 0; i < kEndPadding; ++i) tokens_.push_back(tokens_[end_]);
}

Parser::~Parser() {
  if (tokens_.capacity() > spare_tokens.capacity() && tokens_.capacity() <= kMaxSpareTokens) {
    tokens_.clear();
    spare_tokens.swap(tokens_);
  }
}

std::unique_ptr<Batch> ParseBatch(std::string_view text) {
  Parser parser(text);
  try {
    return parser.ParseAll();
  } catch (ComError& e) {
    if (e.line() == 0) e.set_line(parser.current_line());
    throw;
  }
}

// ------------------------------------------------------------------------------- tokens

int Parser::current_line() const {
  const size_t end = std::min(tokens_[pos_].offset, text_.size());
  return 1 + static_cast<int>(std::count(text_.begin(), text_.begin() + end, '\n'));
}

size_t Parser::PreviousEnd() const {
  if (pos_ == 0) return 0;
  const Token& prev = tokens_[pos_ - 1];
  // Token texts of strings are unescaped, so find the end from the next token's start.
  return pos_ <= end_ ? tokens_[pos_].offset : prev.offset + prev.text.size();
}

void Parser::ExpectKeyword(std::string_view word) {
  if (!AcceptKeyword(word)) Fail();
}

void Parser::ExpectOp(std::string_view op) {
  if (!AcceptOp(op)) Fail();
}

void Parser::Fail() const { FailAt(Peek()); }

void Parser::FailAt(const Token& token) const {
  std::string near;
  switch (token.kind) {
    case TokenKind::kEnd:
      throw ComError(102, kEngineErrorSource, "Incorrect syntax near the end of the batch.");
    case TokenKind::kString:
    case TokenKind::kNString:
      near = token.text;
      break;
    case TokenKind::kIdentifier:
      if (IsReservedWord(token.text)) {
        throw ComError(156, kEngineErrorSource,
                       "Incorrect syntax near the keyword '" + std::string(token.text) + "'.");
      }
      near = token.text;
      break;
    default:
      near = token.text;
  }
  throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + near + "'.");
}

std::string Parser::ParseName() {
  if (!IsName()) Fail();
  return std::string(Advance().text);
}

std::vector<std::string> Parser::ParseQualifiedName() {
  std::vector<std::string> parts;
  parts.push_back(ParseName());
  while (IsOp(".")) {
    Advance();
    // "db..table" leaves the schema out.
    while (AcceptOp(".")) parts.emplace_back();
    parts.push_back(ParseName());
  }
  return parts;
}

std::vector<std::string> Parser::ParseTableName() {
  if (Peek().kind == TokenKind::kVariable) return {ToLowerAscii(Advance().text)};
  return ParseQualifiedName();
}

// --------------------------------------------------------------------------- statements

std::unique_ptr<Batch> Parser::ParseAll() {
  auto batch = std::make_unique<Batch>();
  // A batch may start with a bare procedure name: "proc 1, 2" is "EXEC proc 1, 2".
  if (IsName() && !IsOp("(", 1) && !IsOp("=", 1) && Peek().kind == TokenKind::kIdentifier &&
      !AtStatementStart()) {
    size_t start = Offset();
    Token first = Peek();
    StmtPtr exec;
    try {
      exec = ParseExecBody(/*keyword=*/false);
    } catch (const ComError& e) {
      // Most often a misspelt keyword rather than a call: name the word itself.
      if (e.number() != 102 && e.number() != 156) throw;
      throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + std::string(first.text) + "'.");
    }
    if (!AtStatementStart()) {
      throw ComError(102, kEngineErrorSource, "Incorrect syntax near '" + std::string(first.text) + "'.");
    }
    exec->offset = start;
    exec->end = PreviousEnd();
    AcceptOp(";");
    batch->statements.push_back(std::move(exec));
  }
  while (true) {
    while (AcceptOp(";")) {
    }
    if (Peek().kind == TokenKind::kEnd) break;
    batch->statements.push_back(ParseStatement());
  }
  return batch;
}

bool Parser::AtStatementStart() const {
  static constexpr std::string_view kStarts[] = {
      "select", "insert", "update", "delete", "declare", "set",     "if",       "while",
      "begin",  "exec",   "execute", "return", "print",  "raiserror", "create", "drop",
      "truncate", "commit", "rollback", "break", "continue", "alter", "with", "save", "throw"};
  for (std::string_view s : kStarts) {
    if (IsKeyword(s)) return true;
  }
  return IsOp("(") || Peek().kind == TokenKind::kEnd || IsOp(";");
}

StmtPtr Parser::ParseStatement() {
  DepthGuard guard(this);
  size_t start = Offset();
  StmtPtr stmt;
  const Token& t = Peek();
  if (t.kind != TokenKind::kIdentifier && !IsOp("(")) Fail();
  if (IsKeyword("select") || IsOp("(")) {
    auto s = std::make_unique<SelectStmt>();
    s->select = ParseSelect();
    stmt = std::move(s);
  } else if (IsKeyword("with") && IsName(1)) {
    Advance();
    std::vector<CommonTableExpr> ctes;
    do {
      CommonTableExpr cte;
      cte.name = ParseName();
      if (AcceptOp("(")) {
        do {
          cte.columns.push_back(ParseName());
        } while (AcceptOp(","));
        ExpectOp(")");
      }
      ExpectKeyword("as");
      ExpectOp("(");
      cte.select = ParseSelect();
      ExpectOp(")");
      ctes.push_back(std::move(cte));
    } while (AcceptOp(","));
    if (IsKeyword("insert")) {
      // The expressions are visible to the INSERT's own query, which is the only place an
      // INSERT can read them from; SQLite takes them there as they stand.
      const Token at = Peek();
      stmt = ParseInsert();
      auto* insert = static_cast<InsertStmt*>(stmt.get());
      if (!insert->select || !insert->select->ctes.empty()) FailAt(at);
      insert->select->ctes = std::move(ctes);
    } else if (IsKeyword("update")) {
      stmt = ParseUpdate();
      static_cast<UpdateStmt*>(stmt.get())->ctes = std::move(ctes);
    } else if (IsKeyword("delete")) {
      stmt = ParseDelete();
      static_cast<DeleteStmt*>(stmt.get())->ctes = std::move(ctes);
    } else {
      if (!IsKeyword("select")) Fail();
      auto s = std::make_unique<SelectStmt>();
      s->select = ParseSelect();
      s->select->ctes = std::move(ctes);
      stmt = std::move(s);
    }
  } else if (IsKeyword("insert")) {
    stmt = ParseInsert();
  } else if (IsKeyword("update")) {
    stmt = ParseUpdate();
  } else if (IsKeyword("delete")) {
    stmt = ParseDelete();
  } else if (IsKeyword("declare")) {
    stmt = ParseDeclare();
  } else if (IsKeyword("set")) {
    stmt = ParseSet();
  } else if (IsKeyword("if")) {
    stmt = ParseIf();
  } else if (IsKeyword("while")) {
    stmt = ParseWhile();
  } else if (IsKeyword("begin")) {
    stmt = ParseBegin();
  } else if (IsKeyword("exec") || IsKeyword("execute")) {
    stmt = ParseExec();
  } else if (IsKeyword("print")) {
    stmt = ParsePrint();
  } else if (IsKeyword("raiserror")) {
    stmt = ParseRaiserror();
  } else if (IsKeyword("return")) {
    stmt = ParseReturn();
  } else if (IsKeyword("commit")) {
    stmt = ParseTransactionEnd(StmtKind::kCommit);
  } else if (IsKeyword("rollback")) {
    stmt = ParseTransactionEnd(StmtKind::kRollback);
  } else if (IsKeyword("save") && (IsKeyword("tran", 1) || IsKeyword("transaction", 1))) {
    stmt = ParseTransactionEnd(StmtKind::kSave);
    if (static_cast<SimpleStmt&>(*stmt).name.empty()) Fail();
  } else if (IsKeyword("throw")) {
    Advance();
    auto th = std::make_unique<ThrowStmt>();
    if (!AtStatementStart() && !IsKeyword("end")) {
      th->args.push_back(ParseExpr());
      ExpectOp(",");
      th->args.push_back(ParseExpr());
      ExpectOp(",");
      th->args.push_back(ParseExpr());
    }
    stmt = std::move(th);
  } else if (IsKeyword("break")) {
    Advance();
    stmt = std::make_unique<SimpleStmt>(StmtKind::kBreak);
  } else if (IsKeyword("continue")) {
    Advance();
    stmt = std::make_unique<SimpleStmt>(StmtKind::kContinue);
  } else if (IsKeyword("create") || IsKeyword("alter")) {
    stmt = ParseCreate();
  } else if (IsKeyword("drop")) {
    stmt = ParseDrop();
  } else if (IsKeyword("truncate")) {
    stmt = ParseTruncate();
  } else if (IsName() && IsOp(":", 1)) {
    Fail();
  } else {
    Fail();
  }
  stmt->offset = start;
  stmt->end = PreviousEnd();
  AcceptOp(";");
  return stmt;
}

StmtPtr Parser::ParseBlockOrStatement() {
  while (AcceptOp(";")) {
  }
  return ParseStatement();
}

StmtPtr Parser::ParseBegin() {
  Advance();  // BEGIN
  if (AcceptKeyword("tran") || AcceptKeyword("transaction")) {
    if (IsName() && !AtStatementStart()) Advance();  // transaction name
    return std::make_unique<SimpleStmt>(StmtKind::kBeginTran);
  }
  if (IsKeyword("distributed")) Fail();
  if (AcceptKeyword("try")) {
    auto t = std::make_unique<TryStmt>();
    auto parse_until = [&](std::string_view closing, std::vector<StmtPtr>* out) {
      while (true) {
        while (AcceptOp(";")) {
        }
        if (IsKeyword("end") && IsKeyword(closing, 1)) {
          Advance();
          Advance();
          return;
        }
        if (Peek().kind == TokenKind::kEnd) Fail();
        out->push_back(ParseStatement());
      }
    };
    parse_until("try", &t->body);
    while (AcceptOp(";")) {
    }
    ExpectKeyword("begin");
    ExpectKeyword("catch");
    parse_until("catch", &t->handler);
    return t;
  }
  auto block = std::make_unique<BlockStmt>();
  while (true) {
    while (AcceptOp(";")) {
    }
    if (AcceptKeyword("end")) break;
    if (Peek().kind == TokenKind::kEnd) Fail();
    block->body.push_back(ParseStatement());
  }
  return block;
}

StmtPtr Parser::ParseTransactionEnd(StmtKind kind) {
  Advance();
  auto stmt = std::make_unique<SimpleStmt>(kind);
  if (AcceptKeyword("tran") || AcceptKeyword("transaction") || AcceptKeyword("work")) {
    if (IsName() && !AtStatementStart()) stmt->name = std::string(Advance().text);
  }
  return stmt;
}

StmtPtr Parser::ParseDeclare() {
  Advance();  // DECLARE
  auto decl = std::make_unique<DeclareStmt>();
  bool first = true;
  while (first || AcceptOp(",")) {
    first = false;
    if (Peek().kind != TokenKind::kVariable) Fail();
    VariableDecl v;
    v.name = ToLowerAscii(Advance().text);
    AcceptKeyword("as");
    if (IsKeyword("cursor")) Fail();
    if (AcceptKeyword("table")) {
      v.is_table = true;
      v.table = std::make_shared<CreateTableStmt>();
      v.table->table = {v.name};
      ParseTableBody(v.table.get());
      decl->variables.push_back(std::move(v));
      continue;
    }
    v.type = ParseType();
    if (AcceptOp("=")) v.initial = ParseExpr();
    decl->variables.push_back(std::move(v));
  }
  return decl;
}

StmtPtr Parser::ParseSet() {
  Advance();  // SET
  if (Peek().kind == TokenKind::kVariable) {
    auto s = std::make_unique<SetVariableStmt>();
    s->variable = ToLowerAscii(Advance().text);
    const Token& op = Peek();
    static constexpr std::string_view kOps[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
    bool ok = op.kind == TokenKind::kOperator &&
              std::find(std::begin(kOps), std::end(kOps), op.text) != std::end(kOps);
    if (!ok) Fail();
    s->op = std::string(Advance().text);
    s->value = ParseExpr();
    return s;
  }
  auto opt = std::make_unique<SetOptionStmt>();
  if (AcceptKeyword("transaction")) {
    ExpectKeyword("isolation");
    ExpectKeyword("level");
    opt->option = "transaction isolation level";
    std::string level;
    while (Peek().kind == TokenKind::kIdentifier && !AtStatementStart()) {
      if (!level.empty()) level += ' ';
      level += ToLowerAscii(Advance().text);
    }
    if (level.empty()) Fail();
    opt->value = level;
    return opt;
  }
  // SET IDENTITY_INSERT names a table before its ON / OFF.
  if (AcceptKeyword("identity_insert")) {
    opt->option = "identity_insert";
    opt->table = ParseQualifiedName();
    if (AcceptKeyword("on")) {
      opt->value = "on";
    } else if (AcceptKeyword("off")) {
      opt->value = "off";
    } else {
      Fail();
    }
    return opt;
  }
  // SET NOCOUNT ON, SET ANSI_NULLS OFF, SET DATEFORMAT ymd, SET LOCK_TIMEOUT 100 ...
  if (Peek().kind != TokenKind::kIdentifier || IsReservedWord(Peek().text)) Fail();
  opt->option = ToLowerAscii(Advance().text);
  while (AcceptOp(",")) {
    if (Peek().kind != TokenKind::kIdentifier) Fail();
    opt->option += "," + ToLowerAscii(Advance().text);
  }
  const Token& v = Peek();
  if (v.kind == TokenKind::kIdentifier || v.kind == TokenKind::kNumber ||
      v.kind == TokenKind::kString) {
    opt->value = ToLowerAscii(Advance().text);
  } else if (IsOp("-") && Peek(1).kind == TokenKind::kNumber) {
    Advance();
    opt->value = "-" + std::string(Advance().text);
  } else {
    Fail();
  }
  return opt;
}

StmtPtr Parser::ParseIf() {
  Advance();  // IF
  auto s = std::make_unique<IfStmt>();
  s->condition = ParseExpr();
  s->then_branch = ParseBlockOrStatement();
  while (AcceptOp(";")) {
  }
  if (AcceptKeyword("else")) s->else_branch = ParseBlockOrStatement();
  return s;
}

StmtPtr Parser::ParseWhile() {
  Advance();  // WHILE
  auto s = std::make_unique<WhileStmt>();
  s->condition = ParseExpr();
  s->body = ParseBlockOrStatement();
  return s;
}

std::unique_ptr<ExecStmt> Parser::ParseExecBody(bool keyword) {
  if (keyword) Advance();  // EXEC / EXECUTE
  auto s = std::make_unique<ExecStmt>();
  if (AcceptOp("(")) {
    s->dynamic_sql = ParseExpr();
    ExpectOp(")");
    return s;
  }
  if (Peek().kind == TokenKind::kVariable && IsOp("=", 1)) {
    s->return_variable = ToLowerAscii(Advance().text);
    Advance();
  }
  s->procedure = ParseQualifiedName();
  if (AtStatementStart() && !IsOp("(")) return s;
  do {
    ExecArg arg;
    if (Peek().kind == TokenKind::kVariable && IsOp("=", 1)) {
      arg.name = ToLowerAscii(Advance().text);
      Advance();
    }
    if (IsKeyword("default")) {
      Advance();
    } else {
      arg.value = ParseExpr();
      if (arg.value->kind == ExprKind::kStar) FailAt(Peek());
    }
    if (AcceptKeyword("output") || AcceptKeyword("out")) arg.output = true;
    s->args.push_back(std::move(arg));
  } while (AcceptOp(","));
  return s;
}

StmtPtr Parser::ParseExec() { return ParseExecBody(); }

StmtPtr Parser::ParsePrint() {
  Advance();
  auto s = std::make_unique<PrintStmt>();
  s->value = ParseExpr();
  return s;
}

StmtPtr Parser::ParseRaiserror() {
  Advance();
  auto s = std::make_unique<RaiserrorStmt>();
  ExpectOp("(");
  do {
    s->args.push_back(ParseExpr());
  } while (AcceptOp(","));
  ExpectOp(")");
  if (AcceptKeyword("with")) {
    do {
      if (Peek().kind != TokenKind::kIdentifier) Fail();
      Advance();
    } while (AcceptOp(","));
  }
  if (s->args.size() < 3) Fail();
  return s;
}

StmtPtr Parser::ParseReturn() {
  Advance();
  auto s = std::make_unique<ReturnStmt>();
  if (IsOp("(") || (!AtStatementStart() && !IsKeyword("end") && !IsKeyword("else"))) {
    s->value = ParseExpr();
  }
  return s;
}

}  // namespace ambit::tsql
