// CREATE / ALTER / DROP of tables, indexes, views and procedures, and TRUNCATE TABLE.
#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"

namespace ambit::tsql {
namespace {

int64_t ParseSignedInteger(Parser* p) {
  bool negative = p->AcceptOp("-");
  if (p->Peek().kind != TokenKind::kNumber) p->Fail();
  int64_t v = std::atoll(std::string(p->Advance().text).c_str());
  return negative ? -v : v;
}

}  // namespace

StmtPtr Parser::ParseCreate() {
  bool alter = IsKeyword("alter");
  Advance();  // CREATE / ALTER
  if (!alter && IsKeyword("or") && IsKeyword("alter", 1) && IsKeyword("trigger", 2)) {
    Advance();
    Advance();
    return ParseCreateTrigger(false, true);
  }
  if (IsKeyword("trigger")) return ParseCreateTrigger(alter, false);
  if (AcceptKeyword("table")) {
    if (alter) Fail();
    return ParseCreateTable();
  }
  if (IsKeyword("procedure") || IsKeyword("proc")) return ParseCreateProcedure(alter);
  if (IsKeyword("view")) return ParseCreateView(alter);
  if (alter) Fail();
  bool unique = AcceptKeyword("unique");
  if (!AcceptKeyword("clustered")) AcceptKeyword("nonclustered");
  if (IsKeyword("index")) return ParseCreateIndex(unique);
  Fail();
}

StmtPtr Parser::ParseCreateTable() {
  auto s = std::make_unique<CreateTableStmt>();
  s->table = ParseQualifiedName();
  ParseTableBody(s.get());
  if (AcceptKeyword("on")) ParseName();  // filegroup
  return s;
}

void Parser::ParseTableBody(CreateTableStmt* s) {
  ExpectOp("(");
  do {
    if (IsOp(")")) break;  // a trailing comma is accepted by SQL Server too
    std::string constraint;
    if (AcceptKeyword("constraint")) constraint = ParseName();
    if (AcceptKeyword("foreign")) {
      ExpectKeyword("key");
      ForeignKey fk;
      fk.name = constraint;
      ExpectOp("(");
      do {
        fk.columns.push_back(ParseName());
      } while (AcceptOp(","));
      ExpectOp(")");
      ParseReferences(&fk);
      s->foreign_keys.push_back(std::move(fk));
      continue;
    }
    if (AcceptKeyword("primary")) {
      ExpectKeyword("key");
      if (!AcceptKeyword("clustered")) AcceptKeyword("nonclustered");
      ExpectOp("(");
      do {
        s->primary_key.push_back(ParseName());
        if (!AcceptKeyword("asc")) AcceptKeyword("desc");
      } while (AcceptOp(","));
      ExpectOp(")");
      continue;
    }
    if (AcceptKeyword("unique")) {
      if (!AcceptKeyword("clustered")) AcceptKeyword("nonclustered");
      ExpectOp("(");
      std::vector<std::string> cols;
      do {
        cols.push_back(ParseName());
        if (!AcceptKeyword("asc")) AcceptKeyword("desc");
      } while (AcceptOp(","));
      ExpectOp(")");
      s->unique_keys.push_back(std::move(cols));
      continue;
    }
    ColumnDef col;
    col.name = ParseName();
    if (AcceptKeyword("as")) {
      col.computed = ParseExpr();
      s->columns.push_back(std::move(col));
      continue;
    }
    col.type = ParseType();
    while (true) {
      if (AcceptKeyword("identity")) {
        col.identity = true;
        if (AcceptOp("(")) {
          col.identity_seed = ParseSignedInteger(this);
          ExpectOp(",");
          col.identity_step = ParseSignedInteger(this);
          ExpectOp(")");
        }
      } else if (AcceptKeyword("not")) {
        ExpectKeyword("null");
        col.not_null = true;
      } else if (AcceptKeyword("null")) {
        col.not_null = false;
      } else if (AcceptKeyword("constraint")) {
        constraint = ParseName();
      } else if (IsKeyword("foreign") || IsKeyword("references")) {
        if (AcceptKeyword("foreign")) ExpectKeyword("key");
        ForeignKey fk;
        fk.name = constraint;
        fk.columns.push_back(col.name);
        ParseReferences(&fk);
        s->foreign_keys.push_back(std::move(fk));
      } else if (AcceptKeyword("default")) {
        col.default_value = ParseUnary();
      } else if (AcceptKeyword("primary")) {
        ExpectKeyword("key");
        if (!AcceptKeyword("clustered")) AcceptKeyword("nonclustered");
        col.primary_key = true;
      } else if (AcceptKeyword("unique")) {
        if (!AcceptKeyword("clustered")) AcceptKeyword("nonclustered");
        col.unique = true;
      } else if (AcceptKeyword("collate")) {
        ParseName();
      } else {
        break;
      }
    }
    s->columns.push_back(std::move(col));
  } while (AcceptOp(","));
  ExpectOp(")");
  if (s->columns.empty()) Fail();
}

// REFERENCES table [(columns)] [ON DELETE action] [ON UPDATE action]
void Parser::ParseReferences(ForeignKey* fk) {
  ExpectKeyword("references");
  fk->ref_table = ParseQualifiedName();
  if (AcceptOp("(")) {
    do {
      fk->ref_columns.push_back(ParseName());
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  while (IsKeyword("on") && (IsKeyword("delete", 1) || IsKeyword("update", 1))) {
    Advance();
    std::string* action = IsKeyword("delete") ? &fk->on_delete : &fk->on_update;
    Advance();
    if (AcceptKeyword("cascade")) {
      *action = "CASCADE";
    } else if (AcceptKeyword("no")) {
      ExpectKeyword("action");
      action->clear();
    } else {
      ExpectKeyword("set");
      if (AcceptKeyword("null")) {
        *action = "SET NULL";
      } else {
        ExpectKeyword("default");
        *action = "SET DEFAULT";
      }
    }
  }
  if (AcceptKeyword("not")) {
    ExpectKeyword("for");
    ExpectKeyword("replication");
  }
}

StmtPtr Parser::ParseCreateIndex(bool unique) {
  ExpectKeyword("index");
  auto s = std::make_unique<CreateIndexStmt>();
  s->unique = unique;
  s->name = ParseName();
  ExpectKeyword("on");
  s->table = ParseQualifiedName();
  ExpectOp("(");
  do {
    OrderItem item;
    auto col = std::make_unique<Expr>();
    col->kind = ExprKind::kColumn;
    col->parts.push_back(ParseName());
    item.expr = std::move(col);
    if (AcceptKeyword("desc")) {
      item.descending = true;
    } else {
      AcceptKeyword("asc");
    }
    s->columns.push_back(std::move(item));
  } while (AcceptOp(","));
  ExpectOp(")");
  if (AcceptKeyword("include")) {
    ExpectOp("(");
    do {
      ParseName();
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  if (IsKeyword("with") && IsOp("(", 1)) {
    Advance();
    Advance();
    int nesting = 1;
    while (nesting > 0) {
      if (Peek().kind == TokenKind::kEnd) Fail();
      if (IsOp("(")) ++nesting;
      if (IsOp(")")) --nesting;
      Advance();
    }
  }
  if (AcceptKeyword("on")) ParseName();
  return s;
}

StmtPtr Parser::ParseCreateView(bool alter) {
  Advance();  // VIEW
  auto s = std::make_unique<CreateViewStmt>();
  s->alter = alter;
  s->name = ParseQualifiedName();
  if (AcceptOp("(")) {
    do {
      s->columns.push_back(ParseName());
    } while (AcceptOp(","));
    ExpectOp(")");
  }
  ExpectKeyword("as");
  s->select = ParseSelect();
  if (IsKeyword("with") && IsKeyword("check", 1)) {
    Advance();
    Advance();
    ExpectKeyword("option");
    s->check_option = true;
  }
  return s;
}

StmtPtr Parser::ParseCreateProcedure(bool alter) {
  Advance();  // PROC / PROCEDURE
  auto s = std::make_unique<CreateProcedureStmt>();
  s->alter = alter;
  s->name = ParseQualifiedName();
  bool parenthesised = AcceptOp("(");
  if (Peek().kind == TokenKind::kVariable) {
    do {
      if (Peek().kind != TokenKind::kVariable) Fail();
      ProcParam p;
      p.name = ToLowerAscii(Advance().text);
      AcceptKeyword("as");
      p.type = ParseType();
      if (AcceptOp("=")) p.default_value = ParseUnary();
      if (AcceptKeyword("output") || AcceptKeyword("out")) p.output = true;
      s->params.push_back(std::move(p));
    } while (AcceptOp(","));
  }
  if (parenthesised) ExpectOp(")");
  if (AcceptKeyword("with")) {
    do {
      if (Peek().kind != TokenKind::kIdentifier) Fail();
      Advance();
    } while (AcceptOp(","));
  }
  ExpectKeyword("as");
  ParseBody(&s->body);
  return s;
}

void Parser::ParseBody(std::vector<StmtPtr>* body) {
  while (true) {
    while (AcceptOp(";")) {
    }
    if (Peek().kind == TokenKind::kEnd) break;
    body->push_back(ParseStatement());
  }
}

StmtPtr Parser::ParseCreateTrigger(bool alter, bool or_alter) {
  Advance();  // TRIGGER
  auto s = std::make_unique<CreateTriggerStmt>();
  s->alter = alter;
  s->or_alter = or_alter;
  s->name = ParseQualifiedName();
  ExpectKeyword("on");
  s->table = ParseQualifiedName();
  if (AcceptKeyword("with")) {
    do {
      if (AcceptKeyword("execute")) {  // EXECUTE AS CALLER | SELF | OWNER | 'user'
        ExpectKeyword("as");
      }
      Advance();
    } while (AcceptOp(","));
  }
  if (IsKeyword("instead") && IsKeyword("of", 1)) {
    throw ComError(40517, kEngineErrorSource,
                   "Keyword or statement option 'INSTEAD OF' is not supported in this version "
                   "of SQL Server.");
  }
  if (!AcceptKeyword("after")) ExpectKeyword("for");
  do {
    if (AcceptKeyword("insert")) {
      s->on_insert = true;
    } else if (AcceptKeyword("update")) {
      s->on_update = true;
    } else if (AcceptKeyword("delete")) {
      s->on_delete = true;
    } else {
      Fail();
    }
  } while (AcceptOp(","));
  if (AcceptKeyword("with")) ExpectKeyword("append");
  if (IsKeyword("not") && IsKeyword("for", 1)) {
    Advance();
    Advance();
    ExpectKeyword("replication");
  }
  ExpectKeyword("as");
  ParseBody(&s->body);
  return s;
}

StmtPtr Parser::ParseDrop() {
  Advance();  // DROP
  auto s = std::make_unique<DropStmt>();
  if (AcceptKeyword("table")) {
    s->object_kind = "table";
  } else if (AcceptKeyword("view")) {
    s->object_kind = "view";
  } else if (AcceptKeyword("procedure") || AcceptKeyword("proc")) {
    s->object_kind = "procedure";
  } else if (AcceptKeyword("index")) {
    s->object_kind = "index";
  } else if (AcceptKeyword("trigger")) {
    s->object_kind = "trigger";
  } else {
    Fail();
  }
  if (IsKeyword("if") && IsKeyword("exists", 1)) {
    Advance();
    Advance();
    s->if_exists = true;
  }
  do {
    std::vector<std::string> name = ParseQualifiedName();
    if (s->object_kind == "index" && AcceptKeyword("on")) {
      std::vector<std::string> table = ParseQualifiedName();
      table.push_back(name.back());
      name = std::move(table);
    }
    s->names.push_back(std::move(name));
  } while (AcceptOp(","));
  return s;
}

StmtPtr Parser::ParseTruncate() {
  Advance();
  ExpectKeyword("table");
  auto s = std::make_unique<TruncateStmt>();
  s->table = ParseQualifiedName();
  return s;
}

}  // namespace ambit::tsql
