// Expressions, with T-SQL's precedence: unary ~ and sign; * / %; + - & ^ |; comparisons;
// NOT; AND; OR (BETWEEN, IN, LIKE and IS at the comparison level).
#include <algorithm>

#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"

namespace ambit::tsql {
namespace {

constexpr int kMaxExprDepth = 150;

// Lower-cases a name straight into the node's text: nearly every name fits the string's
// inline buffer, so no temporary is built and moved.
void AssignLowerAscii(std::string_view s, std::string* out) {
  out->assign(s);
  for (char& c : *out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

class ExprDepth {
 public:
  explicit ExprDepth(Parser* p) : p_(p) {
    if (++p_->depth_ > kMaxExprDepth + 50) {
      FailNestedTooDeeply();
    }
  }
  ~ExprDepth() { --p_->depth_; }

 private:
  Parser* p_;
};

// Out of the way of the common calls, which have neither OVER nor WITHIN GROUP.
[[gnu::cold]] CallOrdering& OrderingOf(Expr* e) {
  if (!e->ordering) e->ordering = std::make_unique<CallOrdering>();
  return *e->ordering;
}

ExprPtr MakeExpr(ExprKind kind, size_t offset) {
  // Default- rather than value-initialised: every member has its initialiser, and zeroing the
  // node first would write it twice.
  ExprPtr e(new Expr);
  e->kind = kind;
  e->offset = offset;
  return e;
}

// SQL Server refuses "a = b = c"; a bounded run of predicates keeps hostile input from
// building a tree as deep as it is long.
constexpr int kMaxPredicateRun = 32;

// "=", "<", ">", "<>", "!=", "<=", ">=", "!<", "!>": asked after nearly every operand, so
// by character rather than by a list of strings.
bool IsComparison(std::string_view op) {
  if (op.size() == 1) return op[0] == '=' || op[0] == '<' || op[0] == '>';
  if (op.size() != 2) return false;
  switch (op[0]) {
    case '<':
      return op[1] == '>' || op[1] == '=';
    case '>':
      return op[1] == '=';
    case '!':
      return op[1] == '=' || op[1] == '<' || op[1] == '>';
    default:
      return false;
  }
}

}  // namespace

ExprPtr MakeBinary(std::string op, ExprPtr a, ExprPtr b) {
  auto e = MakeExpr(ExprKind::kBinary, a->offset);
  e->text = op;
  e->ReserveParts(1);
  e->parts.push_back(std::move(op));
  e->ReserveArgs(2);
  e->args.push_back(std::move(a));
  e->args.push_back(std::move(b));
  return e;
}

namespace {

// Tokens of a lone literal, variable, name or alias.name at the parser's position; 0 when
// something else starts there. The grammar's levels read such an operand as it stands when the
// token after it is nothing they take, so the caller may go straight to ParsePrimary.
size_t SimpleOperand(const Parser& p) {
  switch (p.Peek().kind) {
    case TokenKind::kNumber:
    case TokenKind::kString:
    case TokenKind::kNString:
    case TokenKind::kVariable:
      return 1;
    case TokenKind::kIdentifier:
    case TokenKind::kQuotedIdentifier:
      if (!p.IsName()) return 0;
      return p.IsOp(".", 1) && p.IsName(2) ? 3 : 1;
    default:
      return 0;
  }
}

}  // namespace

ExprPtr Parser::ParseExpr() {
  ExprDepth guard(this);
  // Most operands are a lone literal, variable or column followed by what ends an expression:
  // no level between OR and the primary would take anything.
  size_t next = SimpleOperand(*this);
  if (next == 0) return ParseOr();
  const Token& after = Peek(next);
  std::string_view word = after.text;
  bool ends = false;
  if (after.kind == TokenKind::kOperator) {
    ends = word == "," || word == ")";
  } else if (after.kind == TokenKind::kIdentifier) {
    ends = EqualsNoCase(word, "as") || EqualsNoCase(word, "then") ||
           EqualsNoCase(word, "else") || EqualsNoCase(word, "end") ||
           EqualsNoCase(word, "when") || EqualsNoCase(word, "from");
  }
  return ends ? ParsePrimary() : ParseOr();
}

ExprPtr Parser::ParseOr() { return ParseLevel(kOrLevel); }

// The binary level of the operator at the position (0 when none), and its text as the chain
// node keeps it.
int Parser::OperatorLevel(std::string_view* op) const {
  const Token& t = Peek();
  std::string_view w = t.text;
  if (t.kind == TokenKind::kOperator) {
    *op = w;
    if (w.size() == 1) {
      switch (w[0]) {
        case '*':
        case '/':
        case '%':
          return kMultiplicativeLevel;
        case '+':
        case '-':
        case '&':
        case '|':
        case '^':
          return kAdditiveLevel;
        default:
          break;
      }
    }
    return IsComparison(w) ? kPredicateLevel : 0;
  }
  if (t.kind != TokenKind::kIdentifier) return 0;
  switch (w.size()) {
    case 2:
      if (EqualsNoCase(w, "or")) {
        *op = "or";
        return kOrLevel;
      }
      return EqualsNoCase(w, "is") || EqualsNoCase(w, "in") ? kPredicateLevel : 0;
    case 3:
      if (EqualsNoCase(w, "and")) {
        *op = "and";
        return kAndLevel;
      }
      // NOT only as NOT IN, NOT LIKE, NOT BETWEEN; a NOT elsewhere ends the expression.
      return EqualsNoCase(w, "not") &&
                     (IsKeyword("in", 1) || IsKeyword("like", 1) || IsKeyword("between", 1))
                 ? kPredicateLevel
                 : 0;
    case 4:
      return EqualsNoCase(w, "like") ? kPredicateLevel : 0;
    case 7:
      return EqualsNoCase(w, "between") ? kPredicateLevel : 0;
    default:
      return 0;
  }
}

// Precedence climbing: one operand, then the operators of level `min` and above, each level's
// run of operators read into one chain node. Reads what the classic one-function-per-level
// descent reads (OR, AND, NOT, predicates, + - & ^ |, * / %), without passing every operand
// down through all the levels.
ExprPtr Parser::ParseLevel(int min) {
  const size_t start = Offset();
  ExprPtr left;
  // Operators of this level and above were read with the operand (a prefix NOT or EXISTS
  // takes no predicate after it).
  int ceiling = kMultiplicativeLevel + 1;
  if (min <= kNotLevel && IsKeyword("not")) {
    ExprDepth guard(this);
    size_t offset = Advance().offset;
    left = MakeExpr(ExprKind::kUnary, offset);
    left->text = "not";
    left->ReserveArgs(1);
    left->args.push_back(ParseLevel(kNotLevel));
    ceiling = kNotLevel;
  } else if (min <= kPredicateLevel && IsKeyword("exists")) {
    Advance();
    left = MakeExpr(ExprKind::kExists, start);
    ExpectOp("(");
    left->select = ParseSelect();
    ExpectOp(")");
    ceiling = kPredicateLevel;
  } else {
    left = ParseUnary();
  }
  int run = 0;
  while (true) {
    std::string_view op;
    const int level = OperatorLevel(&op);
    if (level < min || level >= ceiling) return left;  // level 0 included
    if (level == kPredicateLevel) {
      left = ParsePredicateTail(std::move(left), start);
      if (++run > kMaxPredicateRun) FailNestedTooDeeply();
      ceiling = kPredicateLevel + 1;
      continue;
    }
    auto chain = MakeExpr(ExprKind::kBinary, left->offset);
    chain->text = op;
    chain->ReserveArgs(2);  // most chains are one operator: no regrowth
    chain->ReserveParts(1);
    chain->args.push_back(std::move(left));
    do {
      chain->parts.emplace_back(op);
      Advance();
      chain->args.push_back(ParseLevel(level + 1));
    } while (OperatorLevel(&op) == level);
    left = std::move(chain);
    ceiling = level;
  }
}

// One comparison, IS [NOT] NULL, [NOT] IN, [NOT] LIKE or [NOT] BETWEEN after `left`; `offset`
// is where the predicate's first operand starts.
ExprPtr Parser::ParsePredicateTail(ExprPtr left, size_t offset) {
  const Token& t = Peek();
  if (t.kind == TokenKind::kOperator) {
    std::string_view op = Advance().text;
    if (op == "!=") op = "<>";
    if (op == "!<") op = ">=";
    if (op == "!>") op = "<=";
    if (IsKeyword("all") || IsKeyword("any") || IsKeyword("some")) Fail();
    return MakeBinary(std::string(op), std::move(left), ParseLevel(kAdditiveLevel));
  }
  bool negated = false;
  if (IsKeyword("not")) {
    Advance();
    negated = true;
  }
  if (AcceptKeyword("is")) {
    auto e = MakeExpr(ExprKind::kIsNull, offset);
    e->negated = AcceptKeyword("not");
    ExpectKeyword("null");
    e->ReserveArgs(1);
    e->args.push_back(std::move(left));
    return e;
  }
  if (AcceptKeyword("in")) {
    auto e = MakeExpr(ExprKind::kIn, offset);
    e->negated = negated;
    e->ReserveArgs(4);
    e->args.push_back(std::move(left));
    ExpectOp("(");
    if (IsKeyword("select")) {
      e->select = ParseSelect();
    } else {
      do {
        e->args.push_back(ParseExpr());
      } while (AcceptOp(","));
    }
    ExpectOp(")");
    return e;
  }
  if (AcceptKeyword("like")) {
    auto e = MakeExpr(ExprKind::kLike, offset);
    e->negated = negated;
    e->ReserveArgs(2);
    e->args.push_back(std::move(left));
    e->args.push_back(ParseLevel(kAdditiveLevel));
    if (AcceptKeyword("escape")) e->args.push_back(ParseLevel(kAdditiveLevel));
    return e;
  }
  // OperatorLevel lets nothing else through.
  ExpectKeyword("between");
  auto e = MakeExpr(ExprKind::kBetween, offset);
  e->negated = negated;
  e->ReserveArgs(3);
  e->args.push_back(std::move(left));
  e->args.push_back(ParseLevel(kAdditiveLevel));
  ExpectKeyword("and");
  e->args.push_back(ParseLevel(kAdditiveLevel));
  return e;
}

ExprPtr Parser::ParseUnary() {
  if (IsOp("-") || IsOp("+") || IsOp("~")) {
    ExprDepth guard(this);
    const Token& t = Advance();
    size_t offset = t.offset;
    std::string_view op = t.text;
    ExprPtr operand = ParseUnary();
    if (op == "-" && operand->kind == ExprKind::kNumber && operand->text[0] != '-') {
      operand->text = "-" + operand->text;
      operand->offset = offset;
      return operand;
    }
    if (op == "+") return operand;
    auto e = MakeExpr(ExprKind::kUnary, offset);
    e->text = op;
    e->ReserveArgs(1);
    e->args.push_back(std::move(operand));
    return e;
  }
  ExprPtr e = ParsePrimary();
  if (IsKeyword("collate")) {
    Advance();
    ParseName();  // SQL Server collation names; comparisons already follow the default one
  }
  return e;
}

ExprPtr Parser::ParsePrimary() {
  const Token& t = Peek();
  size_t offset = t.offset;
  switch (t.kind) {
    case TokenKind::kNumber: {
      auto e = MakeExpr(ExprKind::kNumber, offset);
      e->text.assign(Advance().text);
      return e;
    }
    case TokenKind::kString:
    case TokenKind::kNString: {
      auto e = MakeExpr(ExprKind::kString, offset);
      if (t.kind == TokenKind::kNString) e->type.name = "nvarchar";
      e->text.assign(Advance().text);
      return e;
    }
    case TokenKind::kVariable: {
      auto e = MakeExpr(ExprKind::kVariable, offset);
      AssignLowerAscii(Advance().text, &e->text);
      return e;
    }
    case TokenKind::kSystemVariable: {
      auto e = MakeExpr(ExprKind::kSystemVariable, offset);
      AssignLowerAscii(Advance().text, &e->text);
      return e;
    }
    case TokenKind::kOperator: {
      if (IsOp("*")) {
        Advance();
        return MakeExpr(ExprKind::kStar, offset);
      }
      if (!IsOp("(")) Fail();
      ExprDepth guard(this);
      Advance();
      ExprPtr e;
      if (IsKeyword("select")) {
        e = MakeExpr(ExprKind::kSubquery, offset);
        e->select = ParseSelect();
      } else {
        e = ParseExpr();
      }
      ExpectOp(")");
      return e;
    }
    case TokenKind::kIdentifier:
    case TokenKind::kQuotedIdentifier:
      break;
    case TokenKind::kEnd:
      Fail();
  }
  if (t.kind == TokenKind::kIdentifier) {
    // The words below are all reserved: most primaries (names, calls) are asked once.
    if (IsReserved(t)) {
      if (IsKeyword("null")) {
        Advance();
        return MakeExpr(ExprKind::kNull, offset);
      }
      if (IsKeyword("case")) {
        Advance();
        return ParseCase(offset);
      }
      // UPDATE(column) in a trigger: whether the statement wrote the column.
      if ((IsKeyword("left") || IsKeyword("right") || IsKeyword("update")) && IsOp("(", 1)) {
        return ParseFunctionCall(Advance().text, offset);
      }
      Fail();
    }
    // A call by a one-part name, the usual kind, needs no list of name parts.
    if (IsOp("(", 1)) return ParseFunctionCall(Advance().text, offset);
  }
  // The name is read into the column node it most often becomes.
  auto e = MakeExpr(ExprKind::kColumn, offset);
  e->ReserveParts(2);  // alias.column
  std::vector<std::string>& parts = e->parts;
  parts.emplace_back(Advance().text);
  while (IsOp(".")) {
    Advance();
    if (IsOp("*")) {
      Advance();
      e->kind = ExprKind::kStar;
      return e;
    }
    while (AcceptOp(".")) parts.emplace_back();
    if (!IsName()) Fail();
    parts.emplace_back(Advance().text);
  }
  if (IsOp("(") && t.kind == TokenKind::kIdentifier) {
    return ParseFunctionCall(parts.back(), offset);
  }
  return e;
}

ExprPtr Parser::ParseFunctionCall(std::string_view name, size_t offset) {
  ExprDepth guard(this);
  ExpectOp("(");
  if (EqualsNoCase(name, "cast") || EqualsNoCase(name, "try_cast")) {
    auto e = MakeExpr(ExprKind::kCast, offset);
    if (EqualsNoCase(name, "try_cast")) e->text = "try";
    e->ReserveArgs(1);
    e->args.push_back(ParseExpr());
    ExpectKeyword("as");
    e->type = ParseType(true);
    ExpectOp(")");
    return e;
  }
  if (EqualsNoCase(name, "convert") || EqualsNoCase(name, "try_convert")) {
    auto e = MakeExpr(ExprKind::kConvert, offset);
    if (EqualsNoCase(name, "try_convert")) e->text = "try";
    e->type = ParseType(true);
    ExpectOp(",");
    e->ReserveArgs(2);
    e->args.push_back(ParseExpr());
    if (AcceptOp(",")) e->args.push_back(ParseExpr());
    ExpectOp(")");
    return e;
  }
  auto e = MakeExpr(ExprKind::kFunction, offset);
  AssignLowerAscii(name, &e->text);
  const std::string_view called = e->text;  // compares lengths first
  e->ReserveArgs(3);
  // fn(...) OVER (PARTITION BY ... ORDER BY ...): SQLite runs window functions as they are.
  auto reject_over = [&] {
    if (!IsKeyword("over")) return;
    Advance();
    ExpectOp("(");
    e->has_over = true;
    if (AcceptKeyword("partition")) {
      ExpectKeyword("by");
      do {
        OrderingOf(e.get()).partition.push_back(ParseExpr());
      } while (AcceptOp(","));
    }
    if (AcceptKeyword("order")) {
      ExpectKeyword("by");
      ParseOrderList(&OrderingOf(e.get()).order);
    }
    if (IsKeyword("rows") || IsKeyword("range")) ParseWindowFrame(e.get());
    ExpectOp(")");
  };
  if (called == "dateadd" || called == "datediff" || called == "datepart" || called == "datename") {
    // The first argument is a bare datepart name; it travels as text.
    if (Peek().kind != TokenKind::kIdentifier) Fail();
    auto part = MakeExpr(ExprKind::kString, Offset());
    AssignLowerAscii(Advance().text, &part->text);
    e->args.push_back(std::move(part));
    if (!IsOp(")")) ExpectOp(",");
  }
  if (AcceptOp(")")) {
    reject_over();
    return e;
  }
  if (IsOp("*") && IsOp(")", 1)) {
    Advance();
    Advance();
    e->star = true;
    reject_over();
    return e;
  }
  if (AcceptKeyword("distinct")) {
    e->distinct = true;
  } else {
    AcceptKeyword("all");
  }
  do {
    e->args.push_back(ParseExpr());
  } while (AcceptOp(","));
  ExpectOp(")");
  if ((called == "string_agg" || called == "percentile_cont" || called == "percentile_disc") &&
      IsKeyword("within")) {
    Advance();
    ExpectKeyword("group");
    ExpectOp("(");
    ExpectKeyword("order");
    ExpectKeyword("by");
    ParseOrderList(&OrderingOf(e.get()).within_group);
    ExpectOp(")");
  }
  reject_over();
  return e;
}

// expr [ASC|DESC], ... : the items of ORDER BY, OVER (ORDER BY ...) and WITHIN GROUP.
void Parser::ParseOrderList(std::vector<OrderItem>* items) {
  do {
    OrderItem item;
    item.expr = ParseExpr();
    if (AcceptKeyword("desc")) {
      item.descending = true;
    } else {
      AcceptKeyword("asc");
    }
    items->push_back(std::move(item));
  } while (AcceptOp(","));
}

// ROWS|RANGE [BETWEEN] bound [AND bound], kept as SQLite writes it (the same words).
void Parser::ParseWindowFrame(Expr* e) {
  bool range = IsKeyword("range");
  std::string frame = range ? "RANGE " : "ROWS ";
  Advance();
  auto bound = [&] {
    if (AcceptKeyword("unbounded")) {
      if (AcceptKeyword("preceding")) return std::string("UNBOUNDED PRECEDING");
      ExpectKeyword("following");
      return std::string("UNBOUNDED FOLLOWING");
    }
    if (AcceptKeyword("current")) {
      ExpectKeyword("row");
      return std::string("CURRENT ROW");
    }
    if (Peek().kind != TokenKind::kNumber ||
        Peek().text.find_first_not_of("0123456789") != std::string::npos) {
      Fail();
    }
    if (range) {
      throw ComError(4194, kEngineErrorSource,
                     "RANGE is only supported with UNBOUNDED and CURRENT ROW window frame "
                     "delimiters.");
    }
    std::string n = std::string(Advance().text);
    if (AcceptKeyword("preceding")) return n + " PRECEDING";
    ExpectKeyword("following");
    return n + " FOLLOWING";
  };
  if (AcceptKeyword("between")) {
    frame += "BETWEEN " + bound();
    ExpectKeyword("and");
    frame += " AND " + bound();
  } else {
    frame += bound();
  }
  if (OrderingOf(e).order.empty()) {
    throw ComError(10756, kEngineErrorSource,
                   "Window frame with ROWS or RANGE must have an ORDER BY clause.");
  }
  OrderingOf(e).frame = std::move(frame);
}

ExprPtr Parser::ParseCase(size_t offset) {
  auto e = MakeExpr(ExprKind::kCase, offset);
  e->ReserveArgs(4);
  if (!IsKeyword("when")) {
    e->has_operand = true;
    e->args.push_back(ParseExpr());
  }
  if (!IsKeyword("when")) Fail();
  while (AcceptKeyword("when")) {
    e->args.push_back(ParseExpr());
    ExpectKeyword("then");
    e->args.push_back(ParseExpr());
  }
  if (AcceptKeyword("else")) {
    e->has_else = true;
    e->args.push_back(ParseExpr());
  }
  ExpectKeyword("end");
  return e;
}

}  // namespace ambit::tsql
