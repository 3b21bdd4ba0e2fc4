// Turns the parse tree into SQLite SQL. T-SQL variables become numbered parameters that the
// interpreter binds; T-SQL operators and functions whose SQLite meaning differs become calls to
// the runtime functions (runtime.h). Constructs the emitter cannot express faithfully are error
// 102, never an approximation.
#ifndef AMBIT_TSQL_EMITTER_H_
#define AMBIT_TSQL_EMITTER_H_

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tsql/ast.h"

namespace ambit::tsql {

// SQL text and the variables (lower-case "@v" or "@@rowcount") bound to ?1, ?2, ...
struct EmittedSql {
  std::string sql;
  std::vector<std::string> params;
  // For a query: the declared type of each result column that SQLite cannot report itself.
  std::vector<std::string> column_types;
};

// A column of an existing table as the catalog declares it.
struct CatalogColumn {
  std::string name;
  std::string decl_type;  // "decimal(18,2)", "nvarchar(50)", "INTEGER" ...
  bool identity = false;
  std::string default_sql;  // SQLite text of the DEFAULT, "" when none
};

// What the emitter needs to know beyond the text: declared types of variables (for '+' and
// comparisons) and the columns of tables (for conversion on store).
struct EmitterContext {
  std::function<const TypeRef*(const std::string& variable)> variable_type;
  std::function<std::optional<std::vector<CatalogColumn>>(const std::string& table)> columns;
  // The definition of a view made by this engine, null for anything else.
  std::function<std::shared_ptr<const CreateViewStmt>(const std::string& name)> view;
};

enum class StaticType { kUnknown, kNumeric, kText, kDate };

class Emitter {
 public:
  explicit Emitter(const EmitterContext& context) : context_(context) {}

  // --- expressions and queries (emitter_expr.cc, emitter_select.cc)
  std::string Expression(const Expr& e);
  // Expression(e) appended to *out. A query's text is mostly its operands: written straight
  // into the text that holds them, they never become strings of their own (emitter_append.cc).
  void AppendExpression(const Expr& e, std::string* out);
  std::string Condition(const Expr& e) { return Expression(e); }
  std::string SelectText(const Select& s, bool skip_into = true);
  std::string SelectWithoutCtes(const Select& s);
  // "WITH a AS (...), b AS (...)": the common table expressions before a query or a write.
  std::string CteList(const std::vector<CommonTableExpr>& ctes, int max_recursion);
  // `sql` behind the WITH list of an UPDATE or DELETE (SQLite takes it there as T-SQL does);
  // each statement emitted carries its own copy, since parameters are numbered per statement.
  std::string WithCtes(const std::vector<CommonTableExpr>& ctes, std::string sql);
  // Makes `ctes` visible to the names of the statement emitted while it lives.
  class VisibleCtes {
   public:
    VisibleCtes(Emitter* e, const std::vector<CommonTableExpr>& ctes) : e_(e), n_(ctes.size()) {
      for (const CommonTableExpr& cte : ctes) e_->visible_ctes_.push_back(&cte);
    }
    ~VisibleCtes() { e_->visible_ctes_.resize(e_->visible_ctes_.size() - n_); }
    VisibleCtes(const VisibleCtes&) = delete;
    VisibleCtes& operator=(const VisibleCtes&) = delete;

   private:
    Emitter* e_;
    size_t n_;
  };
  // The visible common table expression called `name`, or null.
  const CommonTableExpr* VisibleCte(const std::string& name) const;
  // SQL Server's checks before running a query (emitter_check.cc).
  void CheckSelectBlock(const SelectBlock& q);
  void CheckSelect(const Select& s);
  // A query used as a derived table (alias given), subquery or common table expression.
  void CheckNested(const Select& s, const std::string& alias);
  // False when a scalar subquery can give at most one row (TOP, an aggregate, no FROM).
  static bool MayReturnManyRows(const Select& s);
  std::string SelectBlockText(const SelectBlock& q, bool with_top);
  std::string TableRefText(const TableRef& t);
  // (VALUES (..), (..)) AS v(a, b) as a row source (emitter_sources.cc).
  std::string ValuesText(const TableRef& t);
  // TOP (n) WITH TIES: the LIMIT that also takes the rows tied with the n-th (emitter_query.cc).
  std::string TiesLimit(const SelectBlock& q, const std::vector<OrderItem>& order_by);
  // "RANK() OVER (ORDER BY ...)" of the ORDER BY that TOP WITH TIES counts by.
  std::string TiesRank(const SelectBlock& q, const std::vector<OrderItem>& order_by);
  // A recursive common table expression that counts its levels and stops with 530 past
  // max_recursion; "" when cte does not refer to itself.
  std::string RecursiveCteText(const CommonTableExpr& cte, int max_recursion);
  // 207 for a select-list alias used inside an ORDER BY expression: SQL Server binds aliases
  // only as whole keys, SQLite anywhere in them.
  void CheckOrderAliases(const SelectBlock& q, const std::vector<OrderItem>& order_by) const;
  bool MayBeColumn(const std::string& name) const;
  std::map<std::string, std::string> cte_renames_;  // lower-case name -> SQLite name
  std::vector<const CommonTableExpr*> visible_ctes_;  // of the queries being emitted
  std::string ForXmlText(const Select& s);
  // " FROM ... WHERE ... GROUP BY ... HAVING ... ORDER BY ... LIMIT ..." of a query.
  std::string SourceText(const SelectBlock& q, const std::vector<OrderItem>& order_by);
  // SELECT @v = expr ... ORDER BY where expr reads @v: assignments in the order of the rows.
  std::string AccumulatingSelect(const Select& s);
  StaticType TypeOf(const Expr& e) const;

  // Name resolution (emitter_scope.cc): the tables of the query being emitted, innermost last,
  // so that a column's declared type can steer conversions.
  void PushScope(const std::vector<TableRefPtr>& from);
  void PushScope(const std::vector<std::string>& table, const std::string& alias);
  void PopScope() {
    for (const ScopeTable& t : scopes_.back()) packed_sources_ -= t.packed ? 1 : 0;
    scopes_.pop_back();
  }
  struct ScopeExit {
    Emitter* emitter;
    ~ScopeExit() { emitter->PopScope(); }
  };
  // CROSS and OUTER APPLY (emitter_apply.cc): a subquery or values list applied to the rows
  // before it runs once per row as json_each over its packed rows (runtime_rows.cc); its
  // columns read back through tsql_unpack.
  std::string ApplyText(const TableRef& join);
  std::string ApplyJoin(const TableRef& join, const std::string& rows);
  // Names and declared types ("" when unknown) of the columns a row source or a query gives;
  // nullopt when the names cannot be told before the query runs.
  std::optional<std::vector<CatalogColumn>> SourceColumns(const TableRef& t);
  std::optional<std::vector<CatalogColumn>> QueryColumns(const Select& s);
  // The SQL of a column of an applied row source; nullopt for a column of anything else.
  std::optional<std::string> PackedColumn(const Expr& column) const;
  // * or t.* where an applied row source is in scope: its columns one by one.
  std::string StarText(const Expr& star);
  // STRING_SPLIT(text, separator): json_each over the parts packed by tsql_string_split.
  std::string SplitText(const TableRef& t);
  // PIVOT and UNPIVOT as a derived table (emitter_pivot.cc).
  std::string PivotText(const TableRef& t);
  std::optional<std::vector<CatalogColumn>> PivotColumns(const TableRef& t);

  // Declared type of a column reference, "" when unknown.
  const std::string& ColumnType(const Expr& column) const;
  // Error 4104 when a qualified column names no table of any enclosing query.
  void CheckQualifier(const Expr& column) const;
  static StaticType TypeOfDecl(const std::string& decl_type);
  // The type name of a declaration ("decimal" of "DECIMAL(18,2)") in lower case, written into
  // *buffer; "" when the name is longer than any type's.
  static std::string_view DeclTypeName(const std::string& decl_type, char (*buffer)[16]);
  // Decimal places of a value of fixed scale (decimal literal, decimal variable or column),
  // -1 when the value has none. SQLite keeps such values as REAL, so their text form ("2.00")
  // is rebuilt from the scale wherever they turn into text.
  int ScaleOf(const Expr& e) const;
  // Exact numeric type of an expression by SQL Server's rules for literals, columns, variables
  // and arithmetic (decimal precision and scale of + - * /).
  struct NumericType {
    enum class Kind { kNone, kInteger, kDecimal, kMoney };
    Kind kind = Kind::kNone;
    int precision = 0;
    int scale = 0;
  };
  NumericType NumericTypeOf(const Expr& e) const;
  // The SQL Server type of an expression as a declaration text ("decimal(20,2)", "int",
  // "nvarchar(4)"), "" when it cannot be told before the query runs (emitter_types.cc).
  std::string ResultType(const Expr& e) const;
  // ResultType of each column of a query, "" for the unknown ones; empty when the select list
  // has a star.
  std::vector<std::string> ResultTypes(const Select& s);
  // The numeric type a declaration text names; kNone for others (float, text, dates).
  static NumericType NumericTypeOfDecl(const std::string& decl_type);
  // The type of a CASE, COALESCE or UNION column whose branches have types a and b.
  static NumericType CombineNumeric(NumericType a, NumericType b);
  // The type of `a op b` from the types of its operands (one step of a chain).
  static StaticType StepType(StaticType a, const std::string& op, StaticType b);
  static NumericType StepNumericType(NumericType a, const std::string& op, NumericType b);
  static bool IsArithmetic(const std::string& op);
  // 0x00FF10: a kNumber node that is varbinary, not a number.
  static bool IsBinaryLiteral(const Expr& e) {
    return e.kind == ExprKind::kNumber && e.text.size() >= 2 && (e.text[1] == 'x' || e.text[1] == 'X');
  }
  // terms joined by `joiner` ("+", " OR " ...) in runs short enough for SQLite's expression
  // depth, the runs combined pairwise so that parentheses nest only logarithmically. Only for
  // operators whose grouping does not change the result.
  static std::string Grouped(const std::vector<std::string>& terms, const std::string& joiner);
  static std::string WithScale(const std::string& sql, int scale);
  static bool IsTextDecl(const std::string& decl_type) {
    return TypeOfDecl(decl_type) == StaticType::kText;
  }

  // --- statements (emitter_dml.cc, emitter_ddl.cc)
  // INSERT: one statement.
  EmittedSql Insert(const InsertStmt& s);
  // UPDATE: the statement, and (when the UPDATE assigns variables) a query computing the
  // values the variables take, one column per assignment in order.
  EmittedSql Update(const UpdateStmt& s, EmittedSql* variable_query);
  EmittedSql Delete(const DeleteStmt& s);
  std::vector<std::string> CreateTable(const CreateTableStmt& s);
  // ", FOREIGN KEY (...) REFERENCES ..." of a new table (emitter_keys.cc).
  std::string ForeignKeysText(const CreateTableStmt& s);
  std::string CreateIndex(const CreateIndexStmt& s);
  std::string CreateView(const CreateViewStmt& s);

  // Emits the variable as the given SQL instead of a parameter.
  void OverrideVariable(const std::string& name, std::string sql) {
    variable_sql_[name] = std::move(sql);
  }

  // SELECT @v = expr: emits the item as tsql_setvar(slot, expr), so every row assigns in turn.
  void AssignThroughSlot(const std::string& name, int slot) { slot_of_[name] = slot; }

  // Ends a statement: its text and the parameters collected while emitting it.
  EmittedSql Finish(std::string sql);

  // Quoting helpers.
  static std::string QuoteName(const std::string& name);
  // text between `quote`s, each quote in it doubled, appended to *out.
  static void AppendQuoted(const std::string& text, char quote, std::string* out);
  static std::string QuoteString(const std::string& value);
  static bool IsTempName(const std::string& name) { return !name.empty() && name[0] == '#'; }
  // The SQLite name of a (possibly qualified) table name: the last part, quoted; temporary
  // tables resolve through SQLite's temp schema by themselves.
  static std::string TableName(const std::vector<std::string>& name);
  // The unquoted SQLite name of a table name or table variable.
  static std::string SqliteTableName(const std::string& name);
  // While a trigger body runs on this thread, `inserted` and `deleted` name the temporary
  // tables that hold the firing statement's rows. Returns the tables set before (null: none).
  struct PseudoTables {
    std::string inserted, deleted;
  };
  static const PseudoTables* SetPseudoTables(const PseudoTables* tables);

 private:
  // Bytes of SQLite text one expression may become.
  static constexpr size_t kMaxExpressionText = size_t{8} << 20;
  // The kinds AppendExpression does not write itself.
  std::string ExpressionText(const Expr& e);
  void AppendColumn(const Expr& e, std::string* out);
  void AppendCase(const Expr& e, std::string* out);
  std::string Param(const std::string& variable);
  std::string Comparison(const std::string& op, const Expr& a, const Expr& b);
  void AppendComparison(const std::string& op, const Expr& a, const Expr& b, std::string* out);
  // A date column of a table against a constant, compared by SQLite itself on the bare column so
  // that an index on it serves (emitter_dates.cc); "" when the comparison is not of that kind.
  std::string DateColumnComparison(const std::string& op, const Expr& a, const Expr& b);
  // The declared type of a column whose stored values are canonical date text: a date or
  // datetime column of a table (not of a view or derived table); "" for anything else.
  std::string StoredDateType(const Expr& e) const;
  // A kBinary chain (emitter_chain.cc).
  void AppendChain(const Expr& e, std::string* out);
  // Error 206 for date, datetime2 or time with a number in + or - (datetime allows it).
  void RefuseDateArithmetic(const Expr& e, std::span<const StaticType> types) const;
  std::string LogicalChain(const Expr& e);
  // "column op constant" (either way round) that SQLite compares natively.
  bool ListTerm(const Expr& term, const std::string& op, std::string* column, std::string* value);
  std::string LongArithmeticChain(const Expr& e, std::span<const StaticType> types,
                                  std::span<const NumericType> numeric);
  void AppendFunction(const Expr& e, std::string* out);
  // CAST and CONVERT (emitter_types.cc).
  void AppendCast(const Expr& e, std::string* out);
  // Built-ins written in SQL rather than as runtime functions: DB_NAME(), SUSER_SNAME(),
  // CHOOSE, CONCAT_WS, ordered STRING_AGG ... (emitter_builtins.cc); nullopt for other names.
  std::optional<std::string> BuiltinFunction(const Expr& e);
  static std::optional<std::string> NiladicFunction(const std::string& name);
  std::string FunctionResultType(const Expr& e) const;
  std::vector<std::string> BlockResultTypes(const SelectBlock& q);
  static std::string SetOperationType(const std::string& a, const std::string& b);
  // SQL_VARIANT_PROPERTY(value, 'BaseType' | 'Precision' | 'Scale' | 'MaxLength').
  std::string VariantProperty(const Expr& e);
  // CAST or CONVERT of value_sql to a text type where the source's type decides the text: float
  // in scientific notation, money by style, datetime in its default form. "" when the value's
  // own text is right.
  std::string TypedText(const Expr& e, const std::string& value_sql);
  std::string PercentileFunction(const Expr& e);
  std::string WindowFunction(const Expr& e);
  std::string InList(const Expr& e);
  bool InListIsNative(const Expr& e) const;
  std::string StoreValue(const std::string& value_sql, const std::string& decl_type);
  // OUTPUT as " RETURNING ..." (emitter_output.cc); allowed is the pseudo-table the statement
  // has: "inserted", "deleted", or "both" for UPDATE.
  std::string ReturningText(const OutputClause& output, const std::string& allowed);
  // deleted.name of an UPDATE: the old value kept by tsql_keep.
  std::string KeptColumn(const std::string& name);
  std::vector<std::string> kept_columns_;  // old values an UPDATE's OUTPUT reads, in order
  const std::vector<CatalogColumn>* kept_catalog_ = nullptr;  // the updated table's columns
  void MapOutputColumns(const Expr& e, const std::string& allowed);
  // INSERT, UPDATE and DELETE through a view (emitter_view.cc): the view's base table takes
  // the write; the statement reads the view as a row source that also carries the base row's
  // rowid as "tsql_rid".
  struct ViewTarget {
    std::string name;
    std::shared_ptr<const CreateViewStmt> view;
    std::vector<std::string> columns;    // the view's column names
    std::vector<const Expr*> items;      // what each of them reads
    std::vector<ExprPtr> expanded;       // owns the columns a * in the view stands for
  };
  std::unique_ptr<ViewTarget> ViewOf(const std::string& name);
  // The base table that writing `columns` (view column names; all of them when deleting, as
  // `deleting`) goes to, and the base column behind each. SQL Server's 4403, 4405, 4406, 4436.
  // A view over a view writes through both: `direct` is the table or view of v's FROM that
  // takes the write, `inner` how that view writes its own base.
  struct ViewWrite {
    const TableRef* base = nullptr;
    std::vector<std::string> base_columns;
    const TableRef* direct = nullptr;
    std::shared_ptr<ViewTarget> inner_view;
    std::shared_ptr<ViewWrite> inner;
  };
  ViewWrite ViewBase(const ViewTarget& v, const std::vector<std::string>& columns, bool deleting);
  std::string ViewRowSource(const ViewTarget& v, const ViewWrite& write);
  int view_depth_ = 0;
  // WITH CHECK OPTION: the filters of the views a write goes through, over the base table's
  // columns as RETURNING sees the written row; "" when no view on the way checks.
  std::string ViewCheck(const ViewTarget& v, const ViewWrite& write, bool checking = false);
  // The base table's column that a column of v's filter reads, through the views below v.
  static std::string BaseColumnOf(const ViewTarget& v, const ViewWrite& write,
                                  const Expr& column);
  // RETURNING of INSERT and UPDATE: the OUTPUT columns, with the view check (output_check_)
  // riding on the first of them, or the check alone.
  std::string CheckedReturning(const OutputClause* output, const std::string& allowed);
  std::string output_check_;
  // OUTPUT inserted.x and deleted.x of a write through a view name the view's columns: the
  // base column behind each (lower-case view name -> base name).
  void MapViewOutput(const ViewTarget& v, const ViewWrite& write);
  std::map<std::string, std::string> output_names_;
  std::map<const TableRef*, std::string> row_sources_;  // tables read as another row source
  const CatalogColumn* FindColumn(const std::vector<CatalogColumn>& cols, const std::string& name);
  struct ScopeTable;
  // The catalog column a column reference names, and the table it belongs to; null when it is
  // unknown (emitter_scope.cc).
  const CatalogColumn* ResolveColumn(const Expr& column, const ScopeTable** table) const;

  const EmitterContext& context_;
  std::vector<std::string> params_;
  std::map<std::string, std::string> variable_sql_;
  std::map<std::string, int> slot_of_;
  std::map<const SelectItem*, std::string> text_casts_;
  std::map<const Expr*, std::string> column_sql_;  // columns read from a materialised row set  // UNION columns that become numbers
  // The columns of a row source; null when they cannot be told before the query runs.
  using SharedColumns = std::shared_ptr<const std::vector<CatalogColumn>>;
  struct ScopeTable {
    std::string name;  // alias, or the table name when there is none
    std::string table;  // the table's own name ("" for derived tables)
    SharedColumns columns;
    bool packed = false;  // an applied row source: columns read through tsql_unpack
  };
  static SharedColumns Shared(std::optional<std::vector<CatalogColumn>> columns);
  // The catalog's columns of a table, asked once a statement: a query's tables come into
  // scope for its checks, its select list and its ORDER BY alike.
  SharedColumns TableColumns(const std::string& table);
  std::map<std::string, SharedColumns, std::less<>> table_columns_;
  void CollectScope(const TableRef& t, std::vector<ScopeTable>* out);
  std::vector<std::vector<ScopeTable>> scopes_;
  int packed_sources_ = 0;  // packed tables in scopes_
};

// SQL Server's name for a column type SQLite reports ("INTEGER" -> "int"); for new tables
// made by SELECT INTO.
std::string TypeTextForStore(const std::string& decl_type);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_EMITTER_H_
