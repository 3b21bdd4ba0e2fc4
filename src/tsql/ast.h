// The parse tree of a T-SQL batch. Expressions and queries keep T-SQL's shape; the emitter turns
// them into SQLite text and the interpreter walks the statements.
#ifndef AMBIT_TSQL_AST_H_
#define AMBIT_TSQL_AST_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ambit::tsql {

struct Select;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

// A declared type: "varchar(50)" is {name "varchar", length 50}; "decimal(18,2)" is
// {name "decimal", precision 18, scale 2}; MAX is length 0.
struct TypeRef {
  std::string name;  // lower case; empty when absent
  int length = -1;
  int precision = -1;
  int scale = -1;
  std::string text;  // as it should be written back, e.g. "varchar(50)"
};
bool IsTextTypeName(std::string_view lower_name);
bool IsNumericTypeName(std::string_view lower_name);

enum class ExprKind {
  kNumber,          // text = literal
  kString,          // text = value
  kNull,
  kVariable,        // text = "@name" lower case
  kSystemVariable,  // text = "@@name" lower case
  kColumn,          // parts = qualified name
  kStar,            // parts = qualifier (may be empty)
  kUnary,           // text = "-", "+", "~", "not"; args[0]
  // A left-associative chain of one precedence level: args[0] parts[0] args[1] parts[1] ...
  // (parts holds the n-1 operators; text = parts[0]). "a+b-c" is one node with three operands,
  // so long chains never make deep trees. Comparisons are always two operands.
  kBinary,          // operators "+", "-", "*", "and", "or", "=", "<>", ...
  kFunction,        // text = lower name; args; distinct for aggregates; star for COUNT(*)
  kCase,            // args = [operand] when, then, ... [else]; see has_operand/has_else
  kCast,            // args[0] AS type
  kConvert,         // type, args[0] value, args[1] optional style
  kSubquery,        // select
  kExists,          // select
  kIn,              // args[0] IN (args[1..]) or IN (select)
  kBetween,         // args[0] BETWEEN args[1] AND args[2]
  kLike,            // args[0] LIKE args[1] [ESCAPE args[2]]
  kIsNull,          // args[0] IS [NOT] NULL
  kDefault,         // DEFAULT in an INSERT's VALUES
};

struct Expr {
  ExprKind kind = ExprKind::kNull;
  std::string text;
  std::vector<std::string> parts;
  std::vector<ExprPtr> args;
  std::shared_ptr<Select> select;
  TypeRef type;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool has_operand = false;
  bool has_else = false;
  // Window functions: fn(...) OVER (PARTITION BY ... ORDER BY ...), kept in `ordering`.
  bool has_over = false;
  // Null unless the call has OVER or WITHIN GROUP: few calls do, and a statement's hundreds of
  // other nodes are cheaper to make and to drop without the empty lists.
  std::unique_ptr<struct CallOrdering> ordering;
  size_t offset = 0;

  Expr() = default;
  Expr(Expr&&) = default;
  Expr& operator=(Expr&&) = default;
  // Hands the (emptied) args and parts lists to the thread's spares, see ReserveArgs.
  ~Expr();

  // A statement is hundreds of nodes made and dropped together, too many and too large for
  // the C library's small-block caches: freed nodes wait on a per-thread list for the next
  // statement instead (ast.cc).
  static void* operator new(size_t size);
  static void operator delete(void* node, size_t size);

  // Room for n operands, or n name parts. The lists of dropped nodes are kept per thread like
  // the nodes themselves, so a statement's operand lists are mostly the last statement's.
  void ReserveArgs(size_t n);
  void ReserveParts(size_t n);
};

// A two-operand kBinary node.
ExprPtr MakeBinary(std::string op, ExprPtr a, ExprPtr b);

struct Select;
struct TableRef;
using TableRefPtr = std::unique_ptr<TableRef>;

// PIVOT (SUM(amount) FOR year IN ([2023], [2024])) and UNPIVOT (amount FOR quarter IN (q1, q2)).
struct PivotClause {
  bool unpivot = false;
  ExprPtr aggregate;         // PIVOT: the aggregate of the value column
  std::string value_column;  // UNPIVOT: the column that takes the values
  std::string for_column;    // PIVOT: the column spread out; UNPIVOT: the column of names
  std::vector<std::string> in_columns;
};

struct TableRef {
  // kPivot: `left` pivoted or unpivoted by `pivot`, named `alias`. kSplit: STRING_SPLIT or
  // OPENJSON with its arguments in values[0]; OPENJSON ... WITH has its columns' names in
  // `columns` and, for each, values[1 + i] = {type text, path or NULL, 1 for AS JSON}.
  enum class Kind { kTable, kDerived, kJoin, kValues, kPivot, kSplit };
  Kind kind = Kind::kTable;
  std::vector<std::string> name;  // kTable: qualified name, last part is the table
  std::string alias;
  std::vector<std::string> columns;  // kDerived, kValues: AS alias (a, b, ...)
  std::shared_ptr<Select> derived;
  std::vector<std::vector<ExprPtr>> values;  // kValues: (VALUES (..), (..)) rows
  // kJoin: "inner", "left", "right", "full", "cross", "cross apply", "outer apply"
  std::string join_type;
  TableRefPtr left, right;
  ExprPtr on;
  std::shared_ptr<PivotClause> pivot;
};

// Appends the sources a join tree joins, left to right; the kJoin nodes themselves are left out.
void AppendJoinLeaves(const TableRef& ref, std::vector<const TableRef*>* out);

struct SelectItem {
  ExprPtr expr;
  std::string alias;     // "" when none
  std::string variable;  // SELECT @v = expr: "@v"
  std::string assign_op = "=";  // "=", "+=", ...
};

struct SelectBlock {
  bool distinct = false;
  ExprPtr top;
  bool top_percent = false;
  bool top_with_ties = false;
  std::vector<SelectItem> items;
  std::vector<std::string> into;  // SELECT ... INTO name
  std::vector<TableRefPtr> from;  // comma-separated sources
  ExprPtr where;
  std::vector<ExprPtr> group_by;
  ExprPtr having;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct CallOrdering {
  std::vector<ExprPtr> partition;       // OVER (PARTITION BY ...)
  std::vector<OrderItem> order;         // OVER (... ORDER BY ...)
  std::string frame;  // "ROWS BETWEEN 1 PRECEDING AND CURRENT ROW", "" when none
  std::vector<OrderItem> within_group;  // STRING_AGG(...) WITHIN GROUP (ORDER BY ...)
};

// SQL Server stops a recursive common table expression after this many levels unless told.
inline constexpr int kDefaultMaxRecursion = 100;

struct CommonTableExpr {
  std::string name;
  std::vector<std::string> columns;
  std::shared_ptr<Select> select;
};

struct Select {
  std::vector<CommonTableExpr> ctes;   // WITH name AS (...) before the query
  std::vector<SelectBlock> blocks;        // joined by set operators
  std::vector<std::string> operators;  // "union", "union all", "except", "intersect"
  std::vector<OrderItem> order_by;
  bool for_xml_path = false;
  std::string xml_element;  // FOR XML PATH('x'): "x"; PATH('') or none: ""
  int max_recursion = kDefaultMaxRecursion;  // OPTION (MAXRECURSION n); 0 is no limit
};

// ---------------------------------------------------------------- statements

enum class StmtKind {
  kSelect,
  kInsert,
  kUpdate,
  kDelete,
  kDeclare,
  kSetVariable,
  kSetOption,
  kIf,
  kWhile,
  kBlock,
  kBreak,
  kContinue,
  kReturn,
  kPrint,
  kRaiserror,
  kExec,
  kBeginTran,
  kCommit,
  kRollback,
  kCreateTable,
  kCreateIndex,
  kCreateView,
  kCreateProcedure,
  kDrop,
  kTruncate,
  kTry,
  kSave,   // SAVE TRANSACTION name
  kThrow,
  kCreateTrigger,
};

struct Stmt {
  explicit Stmt(StmtKind k) : kind(k) {}
  virtual ~Stmt() = default;
  StmtKind kind;
  size_t offset = 0;  // where the statement starts in its batch
  size_t end = 0;     // one past its last character
};
using StmtPtr = std::unique_ptr<Stmt>;

struct SelectStmt : Stmt {
  SelectStmt() : Stmt(StmtKind::kSelect) {}
  std::shared_ptr<Select> select;
};

// OUTPUT inserted.a, deleted.b [INTO target [(columns)]] of INSERT, UPDATE and DELETE.
struct OutputClause {
  std::vector<SelectItem> items;
  std::vector<std::string> into;  // empty: the rows are a result set
  std::vector<std::string> into_columns;
};

struct InsertStmt : Stmt {
  InsertStmt() : Stmt(StmtKind::kInsert) {}
  std::vector<std::string> table;
  std::vector<std::string> columns;
  std::vector<std::vector<ExprPtr>> rows;  // VALUES
  std::shared_ptr<Select> select;          // INSERT ... SELECT
  std::unique_ptr<struct ExecStmt> exec;   // INSERT ... EXEC proc
  bool default_values = false;
  std::shared_ptr<OutputClause> output;
};

struct Assignment {
  std::vector<std::string> column;  // empty for a pure variable assignment
  std::string variable;             // SET @v = col = expr or SET @v = expr
  std::string op = "=";             // "=", "+=", ...
  ExprPtr value;
};

struct UpdateStmt : Stmt {
  UpdateStmt() : Stmt(StmtKind::kUpdate) {}
  ExprPtr top;
  std::vector<std::string> target;  // table name or an alias of FROM
  std::vector<Assignment> sets;
  std::vector<TableRefPtr> from;
  ExprPtr where;
  std::shared_ptr<OutputClause> output;
  std::vector<CommonTableExpr> ctes;  // WITH name AS (...) before UPDATE
};

struct DeleteStmt : Stmt {
  DeleteStmt() : Stmt(StmtKind::kDelete) {}
  ExprPtr top;
  std::vector<std::string> target;
  std::vector<TableRefPtr> from;
  ExprPtr where;
  std::shared_ptr<OutputClause> output;
  std::vector<CommonTableExpr> ctes;  // WITH name AS (...) before DELETE
};

struct VariableDecl {
  std::string name;  // "@v" lower case
  TypeRef type;
  ExprPtr initial;
  bool is_table = false;
  std::shared_ptr<struct CreateTableStmt> table;  // DECLARE @t TABLE (...)
};

struct DeclareStmt : Stmt {
  DeclareStmt() : Stmt(StmtKind::kDeclare) {}
  std::vector<VariableDecl> variables;
};

struct SetVariableStmt : Stmt {
  SetVariableStmt() : Stmt(StmtKind::kSetVariable) {}
  std::string variable;
  std::string op = "=";
  ExprPtr value;
};

struct SetOptionStmt : Stmt {
  SetOptionStmt() : Stmt(StmtKind::kSetOption) {}
  std::string option;  // lower case, e.g. "nocount", "transaction isolation level"
  std::string value;   // lower case, e.g. "on"
  std::vector<std::string> table;  // SET IDENTITY_INSERT table ON
};

struct IfStmt : Stmt {
  IfStmt() : Stmt(StmtKind::kIf) {}
  ExprPtr condition;
  StmtPtr then_branch;
  StmtPtr else_branch;
};

struct WhileStmt : Stmt {
  WhileStmt() : Stmt(StmtKind::kWhile) {}
  ExprPtr condition;
  StmtPtr body;
};

struct BlockStmt : Stmt {
  BlockStmt() : Stmt(StmtKind::kBlock) {}
  std::vector<StmtPtr> body;
};

struct SimpleStmt : Stmt {  // BREAK, CONTINUE, BEGIN TRAN, COMMIT, ROLLBACK, SAVE TRAN
  explicit SimpleStmt(StmtKind k) : Stmt(k) {}
  std::string name;  // the savepoint of SAVE TRAN and ROLLBACK TRAN, as written
};

struct ThrowStmt : Stmt {  // THROW number, message, state; or THROW alone to re-throw
  ThrowStmt() : Stmt(StmtKind::kThrow) {}
  std::vector<ExprPtr> args;
};

struct ReturnStmt : Stmt {
  ReturnStmt() : Stmt(StmtKind::kReturn) {}
  ExprPtr value;
};

struct PrintStmt : Stmt {
  PrintStmt() : Stmt(StmtKind::kPrint) {}
  ExprPtr value;
};

struct RaiserrorStmt : Stmt {
  RaiserrorStmt() : Stmt(StmtKind::kRaiserror) {}
  std::vector<ExprPtr> args;  // message, severity, state, substitution arguments
};

struct ExecArg {
  std::string name;  // "@p" when passed by name
  ExprPtr value;
  bool output = false;
};

struct ExecStmt : Stmt {
  ExecStmt() : Stmt(StmtKind::kExec) {}
  std::vector<std::string> procedure;
  std::string return_variable;  // EXEC @rc = proc
  std::vector<ExecArg> args;
  ExprPtr dynamic_sql;  // EXEC (@sql) / EXEC ('...')
};

struct ColumnDef {
  std::string name;
  TypeRef type;
  bool not_null = false;
  bool primary_key = false;
  bool unique = false;
  bool identity = false;
  int64_t identity_seed = 1;
  int64_t identity_step = 1;
  ExprPtr default_value;
  ExprPtr computed;  // AS expr
};

// FOREIGN KEY (columns) REFERENCES table (ref_columns) ON DELETE ... ON UPDATE ...
struct ForeignKey {
  std::string name;
  std::vector<std::string> columns;
  std::vector<std::string> ref_table;
  std::vector<std::string> ref_columns;  // empty: the referenced table's primary key
  std::string on_delete;  // "CASCADE", "SET NULL", "SET DEFAULT"; "" for NO ACTION
  std::string on_update;
};

struct CreateTableStmt : Stmt {
  CreateTableStmt() : Stmt(StmtKind::kCreateTable) {}
  std::vector<std::string> table;
  std::vector<ColumnDef> columns;
  std::vector<std::string> primary_key;
  std::vector<std::vector<std::string>> unique_keys;
  std::vector<ForeignKey> foreign_keys;
};

struct CreateIndexStmt : Stmt {
  CreateIndexStmt() : Stmt(StmtKind::kCreateIndex) {}
  bool unique = false;
  std::string name;
  std::vector<std::string> table;
  std::vector<OrderItem> columns;
};

struct CreateViewStmt : Stmt {
  CreateViewStmt() : Stmt(StmtKind::kCreateView) {}
  std::vector<std::string> name;
  std::vector<std::string> columns;
  std::shared_ptr<Select> select;
  bool alter = false;
  bool check_option = false;  // WITH CHECK OPTION
};

struct ProcParam {
  std::string name;  // "@p" lower case
  TypeRef type;
  ExprPtr default_value;
  bool output = false;
};

struct CreateProcedureStmt : Stmt {
  CreateProcedureStmt() : Stmt(StmtKind::kCreateProcedure) {}
  std::vector<std::string> name;
  std::vector<ProcParam> params;
  std::vector<StmtPtr> body;
  bool alter = false;
};

// CREATE TRIGGER name ON table AFTER INSERT, UPDATE, DELETE AS body: the body runs once per
// statement, after it, with the statement's rows in the pseudo-tables inserted and deleted.
struct CreateTriggerStmt : Stmt {
  CreateTriggerStmt() : Stmt(StmtKind::kCreateTrigger) {}
  std::vector<std::string> name;
  std::vector<std::string> table;
  bool on_insert = false;
  bool on_update = false;
  bool on_delete = false;
  bool alter = false;
  bool or_alter = false;  // CREATE OR ALTER
  std::vector<StmtPtr> body;
};

struct DropStmt : Stmt {
  DropStmt() : Stmt(StmtKind::kDrop) {}
  std::string object_kind;  // "table", "view", "procedure", "index", "trigger"
  std::vector<std::vector<std::string>> names;
  bool if_exists = false;
};

struct TruncateStmt : Stmt {
  TruncateStmt() : Stmt(StmtKind::kTruncate) {}
  std::vector<std::string> table;
};

struct TryStmt : Stmt {
  TryStmt() : Stmt(StmtKind::kTry) {}
  std::vector<StmtPtr> body;
  std::vector<StmtPtr> handler;
};

// A parsed batch. Procedure bodies are batches of their own.
struct Batch {
  std::vector<StmtPtr> statements;
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_AST_H_
