// SELECT: query blocks joined by set operators, table sources with joins and hints,
// ORDER BY and FOR XML PATH.
#include <cstdlib>

#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"

namespace ambit::tsql {
namespace {

constexpr int kMaxDepth = 200;
// A join chain is a left-deep tree walked recursively; SQLite itself joins at most 64 tables.
constexpr int kMaxJoins = 256;

}  // namespace

std::shared_ptr<Select> Parser::ParseSelect() {
  if (++depth_ > kMaxDepth) FailNestedTooDeeply();
  auto select = std::make_shared<Select>();
  auto parse_operand = [&] {
    if (IsOp("(")) {
      Advance();
      std::shared_ptr<Select> inner = ParseSelect();
      ExpectOp(")");
      if (inner->blocks.size() != 1 || !inner->order_by.empty() || inner->for_xml_path) Fail();
      select->blocks.push_back(std::move(inner->blocks[0]));
    } else {
      select->blocks.push_back(ParseSelectBlock());
    }
  };
  parse_operand();
  while (true) {
    if (AcceptKeyword("union")) {
      select->operators.push_back(AcceptKeyword("all") ? "union all" : "union");
    } else if (AcceptKeyword("except")) {
      select->operators.emplace_back("except");
    } else if (AcceptKeyword("intersect")) {
      select->operators.emplace_back("intersect");
    } else {
      break;
    }
    parse_operand();
  }
  if (AcceptKeyword("order")) {
    ExpectKeyword("by");
    ParseOrderList(&select->order_by);
  }
  if (IsKeyword("for") && IsKeyword("xml", 1)) {
    Advance();
    Advance();
    ExpectKeyword("path");
    select->for_xml_path = true;
    if (AcceptOp("(")) {
      if (Peek().kind != TokenKind::kString && Peek().kind != TokenKind::kNString) Fail();
      select->xml_element = std::string(Advance().text);
      ExpectOp(")");
    } else {
      select->xml_element = "row";
    }
    if (IsOp(",")) Fail();  // TYPE, ROOT ... are not supported
  }
  if (AcceptKeyword("option")) ParseQueryHints(select.get());
  --depth_;
  return select;
}

// OPTION (...): MAXRECURSION is kept; plan hints have no meaning on SQLite and are skipped.
void Parser::ParseQueryHints(Select* select) {
  ExpectOp("(");
  do {
    if (AcceptKeyword("maxrecursion")) {
      if (Peek().kind != TokenKind::kNumber) Fail();
      long limit = std::strtol(std::string(Advance().text).c_str(), nullptr, 10);
      if (limit < 0 || limit > 32767) {
        throw ComError(310, kEngineErrorSource,
                       "The value " + std::to_string(limit) +
                           " specified for the MAXRECURSION option exceeds the allowed maximum "
                           "of 32767.");
      }
      select->max_recursion = static_cast<int>(limit);
    } else if (AcceptKeyword("maxdop") || AcceptKeyword("fast")) {
      if (Peek().kind != TokenKind::kNumber) Fail();
      Advance();
    } else if (AcceptKeyword("recompile")) {
    } else if (AcceptKeyword("force")) {
      ExpectKeyword("order");
    } else if (IsKeyword("hash") || IsKeyword("merge") || IsKeyword("loop") ||
               IsKeyword("concat")) {
      Advance();
      if (!AcceptKeyword("join")) ExpectKeyword("union");
    } else {
      Fail();
    }
  } while (AcceptOp(","));
  ExpectOp(")");
}

SelectBlock Parser::ParseSelectBlock() {
  SelectBlock block;
  ExpectKeyword("select");
  if (AcceptKeyword("distinct")) {
    block.distinct = true;
  } else {
    AcceptKeyword("all");
  }
  if (AcceptKeyword("top")) {
    if (AcceptOp("(")) {
      block.top = ParseExpr();
      ExpectOp(")");
    } else {
      if (Peek().kind != TokenKind::kNumber && Peek().kind != TokenKind::kVariable) Fail();
      block.top = ParsePrimary();
    }
    if (AcceptKeyword("percent")) block.top_percent = true;
    if (IsKeyword("with") && IsKeyword("ties", 1)) {
      Advance();
      Advance();
      block.top_with_ties = true;
    }
  }
  // Items are parsed in place: a list statement has dozens, each a handful of strings.
  block.items.reserve(8);
  do {
    SelectItem& item = block.items.emplace_back();
    const Token& t = Peek();
    if (t.kind == TokenKind::kVariable && Peek(1).kind == TokenKind::kOperator &&
        (Peek(1).text == "=" || (Peek(1).text.size() == 2 && Peek(1).text[1] == '='))) {
      item.variable = ToLowerAscii(Advance().text);
      item.assign_op.assign(Advance().text);
      item.expr = ParseExpr();
    } else if ((IsName() || t.kind == TokenKind::kString) && IsOp("=", 1)) {
      item.alias.assign(Advance().text);  // alias = expression
      Advance();
      item.expr = ParseExpr();
    } else {
      item.expr = ParseExpr();
      if (AcceptKeyword("as")) {
        if (!IsName() && Peek().kind != TokenKind::kString &&
            Peek().kind != TokenKind::kNString) {
          Fail();
        }
        item.alias.assign(Advance().text);
      } else if (IsName() || Peek().kind == TokenKind::kString) {
        item.alias.assign(Advance().text);
      }
    }
  } while (AcceptOp(","));
  if (AcceptKeyword("into")) block.into = ParseQualifiedName();
  if (AcceptKeyword("from")) block.from = ParseFromList();
  if (AcceptKeyword("where")) block.where = ParseExpr();
  if (AcceptKeyword("group")) {
    ExpectKeyword("by");
    do {
      block.group_by.push_back(ParseExpr());
    } while (AcceptOp(","));
  }
  if (AcceptKeyword("having")) block.having = ParseExpr();
  return block;
}

std::vector<TableRefPtr> Parser::ParseFromList() {
  std::vector<TableRefPtr> list;
  do {
    list.push_back(ParseTableSource());
  } while (AcceptOp(","));
  return list;
}

TableRefPtr Parser::ParseTableSource() {
  TableRefPtr left = ParseTablePrimary();
  for (int joins = 0;; ++joins) {
    if (joins > kMaxJoins) FailNestedTooDeeply();
    std::string type;
    if (AcceptKeyword("join")) {
      type = "inner";
    } else if (IsKeyword("inner") && IsKeyword("join", 1)) {
      Advance();
      Advance();
      type = "inner";
    } else if (IsKeyword("left") || IsKeyword("right") || IsKeyword("full")) {
      type = ToLowerAscii(Advance().text);
      AcceptKeyword("outer");
      ExpectKeyword("join");
    } else if (IsKeyword("cross") && IsKeyword("join", 1)) {
      Advance();
      Advance();
      type = "cross";
    } else if ((IsKeyword("cross") || IsKeyword("outer")) && IsKeyword("apply", 1)) {
      type = ToLowerAscii(Advance().text) + " apply";
      Advance();
    } else {
      break;
    }
    auto join = std::make_unique<TableRef>();
    join->kind = TableRef::Kind::kJoin;
    join->join_type = type;
    join->left = std::move(left);
    join->right = ParseTablePrimary();
    if (type != "cross" && !type.ends_with("apply")) {
      ExpectKeyword("on");
      join->on = ParseExpr();
    }
    left = std::move(join);
  }
  return left;
}

void Parser::SkipTableHints() {
  // with(nolock), WITH (NOLOCK, INDEX(x)), or the old form (nolock). Locking hints have no
  // meaning on SQLite: readers never block under WAL.
  bool with = IsKeyword("with") && IsOp("(", 1);
  bool bare = IsOp("(") && Peek(1).kind == TokenKind::kIdentifier &&
              (EqualsNoCase(Peek(1).text, "nolock") || EqualsNoCase(Peek(1).text, "readuncommitted") ||
               EqualsNoCase(Peek(1).text, "updlock") || EqualsNoCase(Peek(1).text, "rowlock") ||
               EqualsNoCase(Peek(1).text, "holdlock") || EqualsNoCase(Peek(1).text, "tablock"));
  if (!with && !bare) return;
  if (with) Advance();
  ExpectOp("(");
  int nesting = 1;
  while (nesting > 0) {
    if (Peek().kind == TokenKind::kEnd) Fail();
    if (IsOp("(")) ++nesting;
    if (IsOp(")")) --nesting;
    Advance();
  }
}

void Parser::ParseColumnAliases(TableRef* ref) {
  if (!AcceptOp("(")) return;
  do {
    ref->columns.push_back(ParseName());
  } while (AcceptOp(","));
  ExpectOp(")");
}

// A table value constructor, after "(VALUES": rows, ")", the alias and its column names.
void Parser::ParseValuesSource(TableRef* ref) {
  ref->kind = TableRef::Kind::kValues;
  do {
    ExpectOp("(");
    std::vector<ExprPtr> row;
    do {
      row.push_back(ParseExpr());
    } while (AcceptOp(","));
    ExpectOp(")");
    if (!ref->values.empty() && row.size() != ref->values[0].size()) {
      throw ComError(10709, kEngineErrorSource,
                     "The number of columns for each row in a table value constructor must be "
                     "the same.");
    }
    ref->values.push_back(std::move(row));
  } while (AcceptOp(","));
  ExpectOp(")");
  ref->alias = ParseOptionalAlias();
  if (ref->alias.empty()) Fail();
  ParseColumnAliases(ref);
  size_t width = ref->values[0].size();
  if (ref->columns.size() < width) {
    throw ComError(8155, kEngineErrorSource,
                   "No column name was specified for column " +
                       std::to_string(ref->columns.size() + 1) + " of '" + ref->alias + "'.");
  }
  if (ref->columns.size() > width) {
    throw ComError(8159, kEngineErrorSource,
                   "'" + ref->alias + "' has fewer columns than were specified in the column list.");
  }
}

std::string Parser::ParseOptionalAlias() {
  if (AcceptKeyword("as")) return ParseName();
  if (IsName()) return std::string(Advance().text);
  return "";
}

TableRefPtr Parser::ParseTablePrimary() {
  TableRefPtr source = ParseTableOperand();
  while (IsKeyword("pivot") || IsKeyword("unpivot")) source = ParsePivot(std::move(source));
  return source;
}

// PIVOT (agg(value) FOR column IN ([a], [b])) AS alias, or
// UNPIVOT (value FOR name IN (a, b)) AS alias, after the source they turn.
TableRefPtr Parser::ParsePivot(TableRefPtr source) {
  auto ref = std::make_unique<TableRef>();
  ref->kind = TableRef::Kind::kPivot;
  ref->pivot = std::make_shared<PivotClause>();
  PivotClause& p = *ref->pivot;
  p.unpivot = IsKeyword("unpivot");
  Advance();
  ExpectOp("(");
  if (p.unpivot) {
    p.value_column = ParseName();
  } else {
    p.aggregate = ParseExpr();
    if (p.aggregate->kind != ExprKind::kFunction) Fail();
  }
  ExpectKeyword("for");
  p.for_column = ParseName();
  ExpectKeyword("in");
  ExpectOp("(");
  do {
    p.in_columns.push_back(ParseName());
  } while (AcceptOp(","));
  ExpectOp(")");
  ExpectOp(")");
  ref->alias = ParseOptionalAlias();
  if (ref->alias.empty()) Fail();
  ref->left = std::move(source);
  return ref;
}

TableRefPtr Parser::ParseTableOperand() {
  auto ref = std::make_unique<TableRef>();
  if (IsOp("(")) {
    Advance();
    if (AcceptKeyword("values")) {
      ParseValuesSource(ref.get());
      return ref;
    }
    if (IsKeyword("select") || IsOp("(")) {
      ref->kind = TableRef::Kind::kDerived;
      ref->derived = ParseSelect();
      ExpectOp(")");
      ref->alias = ParseOptionalAlias();
      if (ref->alias.empty()) Fail();
      ParseColumnAliases(ref.get());
      return ref;
    }
    if (++depth_ > kMaxDepth) FailNestedTooDeeply();
    TableRefPtr inner = ParseTableSource();
    --depth_;
    ExpectOp(")");
    return inner;
  }
  ref->name = ParseTableName();
  if (IsOp("(") && ref->name.size() == 1 &&
      (EqualsNoCase(ref->name[0], "string_split") || EqualsNoCase(ref->name[0], "openjson"))) {
    Advance();
    ref->kind = TableRef::Kind::kSplit;
    ref->values.emplace_back();
    do {
      ref->values[0].push_back(ParseExpr());
    } while (AcceptOp(","));
    ExpectOp(")");
    if (EqualsNoCase(ref->name[0], "openjson") && AcceptKeyword("with")) ParseJsonColumns(ref.get());
    ref->alias = ParseOptionalAlias();
    return ref;
  }
  SkipTableHints();
  if (IsOp("(")) Fail();  // other table-valued functions
  ref->alias = ParseOptionalAlias();
  SkipTableHints();
  return ref;
}

// WITH (name type ['path'] [AS JSON], ...) of OPENJSON.
void Parser::ParseJsonColumns(TableRef* ref) {
  ExpectOp("(");
  do {
    ref->columns.push_back(ParseName());
    auto& column = ref->values.emplace_back();
    auto text = [&](ExprKind kind, std::string value) {
      auto e = std::make_unique<Expr>();
      e->kind = kind;
      e->text = std::move(value);
      column.push_back(std::move(e));
    };
    text(ExprKind::kString, ParseType(true).text);
    if (Peek().kind == TokenKind::kString || Peek().kind == TokenKind::kNString) {
      text(ExprKind::kString, std::string(Advance().text));
    } else {
      text(ExprKind::kNull, "");
    }
    bool as_json = AcceptKeyword("as");
    if (as_json) ExpectKeyword("json");
    text(ExprKind::kNumber, as_json ? "1" : "0");
  } while (AcceptOp(","));
  ExpectOp(")");
}

}  // namespace ambit::tsql
