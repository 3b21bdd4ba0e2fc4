// INSERT, UPDATE and DELETE, with T-SQL's FROM forms.
#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"

namespace ambit::tsql {

StmtPtr Parser::ParseInsert() {
  Advance();  // INSERT
  auto s = std::make_unique<InsertStmt>();
  AcceptKeyword("into");
  s->table = ParseTableName();
  SkipTableHints();
  if (IsOp("(") && !IsKeyword("select", 1)) {
    Advance();
    do {
      s->columns.push_back(ParseName());
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  s->output = ParseOutputClause();
  if (AcceptKeyword("values")) {
    do {
      ExpectOp("(");
      std::vector<ExprPtr> row;
      do {
        if (IsKeyword("default")) {
          auto d = std::make_unique<Expr>();
          d->kind = ExprKind::kDefault;
          d->offset = Advance().offset;
          row.push_back(std::move(d));
          continue;
        }
        row.push_back(ParseExpr());
      } while (AcceptOp(","));
      ExpectOp(")");
      s->rows.push_back(std::move(row));
    } while (AcceptOp(","));
  } else if (IsKeyword("select") || IsOp("(")) {
    bool parenthesised = AcceptOp("(");
    s->select = ParseSelect();
    if (parenthesised) ExpectOp(")");
  } else if (IsKeyword("exec") || IsKeyword("execute")) {
    s->exec = ParseExecBody();
  } else if (IsKeyword("default") && IsKeyword("values", 1)) {
    Advance();
    Advance();
    s->default_values = true;
  } else {
    Fail();
  }
  return s;
}

StmtPtr Parser::ParseUpdate() {
  Advance();  // UPDATE
  auto s = std::make_unique<UpdateStmt>();
  if (AcceptKeyword("top")) {
    ExpectOp("(");
    s->top = ParseExpr();
    ExpectOp(")");
  }
  s->target = ParseTableName();
  SkipTableHints();
  ExpectKeyword("set");
  do {
    Assignment a;
    if (Peek().kind == TokenKind::kVariable) {
      a.variable = ToLowerAscii(Advance().text);
      if (!IsOp("=")) Fail();
      Advance();
      // SET @v = col = expr assigns the column and gives the variable its new value.
      if (IsName() && IsOp("=", 1)) {
        a.column.push_back(std::string(Advance().text));
        Advance();
      }
      a.value = ParseExpr();
    } else {
      a.column = ParseQualifiedName();
      const Token& op = Peek();
      if (op.kind != TokenKind::kOperator ||
          !(op.text == "=" || (op.text.size() == 2 && op.text[1] == '=' && op.text[0] != '<' &&
                               op.text[0] != '>' && op.text[0] != '!'))) {
        Fail();
      }
      a.op = std::string(Advance().text);
      if (IsKeyword("default")) Fail();
      a.value = ParseExpr();
      if (a.op != "=") {
        // SET c += v is SET c = c + v, with T-SQL's meaning of the operator.
        auto column = std::make_unique<Expr>();
        column->kind = ExprKind::kColumn;
        column->parts = a.column;
        column->offset = a.value->offset;
        a.value = MakeBinary(a.op.substr(0, 1), std::move(column), std::move(a.value));
        a.op = "=";
      }
    }
    s->sets.push_back(std::move(a));
  } while (AcceptOp(","));
  s->output = ParseOutputClause();
  if (AcceptKeyword("from")) s->from = ParseFromList();
  if (AcceptKeyword("where")) {
    if (IsKeyword("current")) Fail();
    s->where = ParseExpr();
  }
  if (IsKeyword("option")) Fail();
  return s;
}

StmtPtr Parser::ParseDelete() {
  Advance();  // DELETE
  auto s = std::make_unique<DeleteStmt>();
  if (AcceptKeyword("top")) {
    ExpectOp("(");
    s->top = ParseExpr();
    ExpectOp(")");
  }
  AcceptKeyword("from");
  s->target = ParseTableName();
  SkipTableHints();
  s->output = ParseOutputClause();
  if (AcceptKeyword("from")) {
    s->from = ParseFromList();
  } else if (IsName()) {
    // DELETE FROM t alias WHERE ...: the alias names the one source.
    auto ref = std::make_unique<TableRef>();
    ref->name = s->target;
    ref->alias = std::string(Advance().text);
    SkipTableHints();
    s->target = {ref->alias};
    s->from.push_back(std::move(ref));
  }
  if (!s->output) s->output = ParseOutputClause();
  if (AcceptKeyword("where")) s->where = ParseExpr();
  return s;
}

std::shared_ptr<OutputClause> Parser::ParseOutputClause() {
  if (!AcceptKeyword("output")) return nullptr;
  auto out = std::make_shared<OutputClause>();
  do {
    SelectItem item;
    item.expr = ParseExpr();
    if (AcceptKeyword("as")) {
      if (!IsName() && Peek().kind != TokenKind::kString) Fail();
      item.alias = std::string(Advance().text);
    } else if (IsName()) {
      item.alias = std::string(Advance().text);
    }
    out->items.push_back(std::move(item));
  } while (AcceptOp(","));
  if (AcceptKeyword("into")) {
    out->into = ParseTableName();
    if (IsOp("(") && !IsKeyword("select", 1)) {
      Advance();
      do {
        out->into_columns.push_back(ParseName());
      } while (AcceptOp(","));
      ExpectOp(")");
    }
  }
  return out;
}

}  // namespace ambit::tsql
