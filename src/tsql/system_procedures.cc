#include "tsql/system_procedures.h"

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"
#include "tsql/catalog.h"
#include "tsql/runtime.h"
#include "tsql/session.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

FieldInfo TextField(std::string name, int32_t size = 128) {
  return FieldInfo{std::move(name), DataType::kVarWChar, size};
}
FieldInfo IntField(std::string name) { return FieldInfo{std::move(name), DataType::kInteger, 4}; }
FieldInfo SmallField(std::string name) {
  return FieldInfo{std::move(name), DataType::kSmallInt, 2};
}

Variant TextOrNull(const std::string& s) { return s.empty() ? Variant::Null() : Variant(s); }
Variant IntOrNull(int v, bool applies) { return applies ? Variant(int32_t{v}) : Variant::Null(); }

// Arguments by position or by name, in the order of the procedure's parameters.
std::vector<Variant> BindArgs(std::string_view procedure, const std::vector<std::string>& params,
                              const std::vector<SystemProcedureArg>& args) {
  std::vector<Variant> values(params.size(), Variant::Null());
  size_t position = 0;
  for (const SystemProcedureArg& a : args) {
    size_t index = params.size();
    if (a.name.empty()) {
      index = position++;
      if (index >= params.size()) {
        Raise(8144, "Procedure or function " + std::string(procedure) +
                        " has too many arguments specified.");
      }
    } else {
      for (size_t i = 0; i < params.size(); ++i) {
        if (EqualsNoCase(params[i], a.name)) index = i;
      }
      if (index == params.size()) {
        Raise(8145, a.name + " is not a parameter for procedure " + std::string(procedure) + ".");
      }
    }
    values[index] = a.value;
  }
  return values;
}

std::string ArgText(const Variant& v) { return v.IsNull() ? "" : CStr(v); }

// "dbo.orders", "[orders]" -> "orders".
std::string ObjectPart(std::string name) {
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name = name.substr(dot + 1);
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  return name;
}

struct Object {
  enum class Kind { kNone, kTable, kView, kProcedure, kTrigger } kind = Kind::kNone;
  std::string name;        // as it was created
  std::string definition;  // procedure text, or the stored view definition
};

Object FindObject(Session& session, const std::string& name) {
  Object o;
  RecordsetPtr rs = session.db().Query(
      "SELECT m.name, m.type, m.sql FROM main.sqlite_master m WHERE " +
          std::string(CatalogUserObjects()) + " AND m.name = ?1 COLLATE NOCASE",
      {Variant(name)});
  if (!rs->rows().empty()) {
    const auto& row = rs->rows()[0];
    o.kind = CStr(row[1]) == "table" ? Object::Kind::kTable : Object::Kind::kView;
    o.name = CStr(row[0]);
    o.definition = row[2].IsNull() ? "" : CStr(row[2]);
    // A view keeps its T-SQL text inside its SQLite text; that is the text to show.
    if (auto tsql = DecodeViewDefinition(o.definition)) o.definition = *tsql;
    return o;
  }
  rs = session.db().Query(
      "SELECT name, definition FROM main.tsql_procedures WHERE name = ?1 COLLATE NOCASE",
      {Variant(name)});
  if (!rs->rows().empty()) {
    o.kind = Object::Kind::kProcedure;
    o.name = CStr(rs->rows()[0][0]);
    o.definition = CStr(rs->rows()[0][1]);
    return o;
  }
  rs = session.db().Query("SELECT m.name, m.sql FROM main.sqlite_master m WHERE " +
                              std::string(CatalogTriggers()) + " AND m.name = ?1 COLLATE NOCASE",
                          {Variant(name)});
  if (!rs->rows().empty()) {
    o.kind = Object::Kind::kTrigger;
    o.name = CStr(rs->rows()[0][0]);
    o.definition = DecodeTriggerDefinition(CStr(rs->rows()[0][1])).value_or("");
  }
  return o;
}

[[noreturn]] void NoSuchObject(Session& session, const std::string& name) {
  Raise(15009, "The object '" + name + "' does not exist in database '" +
                   session.database_name() + "' or is invalid for this operation.");
}

struct Column {
  std::string name;
  std::string decl;
  bool nullable = true;
  bool identity = false;
  bool computed = false;
  std::string default_sql;
  int ordinal = 0;
};

std::vector<Column> ColumnsOf(Session& session, const std::string& table) {
  RecordsetPtr rs = session.db().Query(
      "SELECT c.name, c.type, CASE WHEN c.\"notnull\" OR c.pk > 0 THEN 0 ELSE 1 END, "
      "CASE WHEN " + std::string(CatalogIdentityColumn()) + " THEN 1 ELSE 0 END, "
      "CASE WHEN c.hidden IN (2, 3) THEN 1 ELSE 0 END, c.dflt_value "
      "FROM main.sqlite_master m, pragma_table_xinfo(m.name, 'main') c "
      "WHERE m.name = ?1 AND c.hidden <> 1 ORDER BY c.cid",
      {Variant(table)});
  std::vector<Column> out;
  for (const auto& row : rs->rows()) {
    Column c;
    c.name = CStr(row[0]);
    c.decl = row[1].IsNull() ? "" : CStr(row[1]);
    c.nullable = CLng(row[2]) != 0;
    c.identity = CLng(row[3]) != 0;
    c.computed = CLng(row[4]) != 0;
    c.default_sql = row[5].IsNull() ? "" : "(" + CStr(row[5]) + ")";
    c.ordinal = static_cast<int>(out.size()) + 1;
    out.push_back(std::move(c));
  }
  return out;
}

RecordsetPtr MakeSet(std::vector<FieldInfo> fields, std::vector<Recordset::Row> rows) {
  return std::make_shared<Recordset>(std::move(fields), std::move(rows));
}

// sp_help's "Prec" and "Scale": numbers for numeric types, blank otherwise.
Variant PrecText(const TypeFacts& t, int value) {
  return Variant(t.numeric_precision >= 0 ? std::to_string(value) : std::string());
}

void HelpColumns(Session& session, const Object& o, std::vector<RecordsetPtr>* results) {
  std::vector<Recordset::Row> rows;
  const Column* identity = nullptr;
  std::vector<Column> columns = ColumnsOf(session, o.name);
  for (const Column& c : columns) {
    TypeFacts t = TypeFactsOf(c.decl);
    if (c.identity) identity = &c;
    std::string fixed = !t.has_chars ? "(n/a)" : c.nullable ? "yes" : "no";
    rows.push_back({Variant(c.name), TextOrNull(t.name), Variant(c.computed ? "yes" : "no"),
                    IntOrNull(t.max_length, t.system_type_id > 0), PrecText(t, t.precision),
                    PrecText(t, t.scale), Variant(c.nullable ? "yes" : "no"),
                    Variant(t.has_chars ? "no" : "(n/a)"), Variant(fixed),
                    t.has_chars ? Variant("SQL_Latin1_General_CP1_CI_AS") : Variant::Null()});
  }
  results->push_back(MakeSet({TextField("Column_name"), TextField("Type"), TextField("Computed", 35),
                              IntField("Length"), TextField("Prec", 5), TextField("Scale", 5),
                              TextField("Nullable", 35), TextField("TrimTrailingBlanks", 35),
                              TextField("FixedLenNullInSource", 35), TextField("Collation")},
                             std::move(rows)));
  Recordset::Row ident;
  if (identity != nullptr) {
    // The seed rides in the table's stored definition (see Emitter::CreateTable).
    int64_t seed = 1;
    RecordsetPtr sql = session.db().Query(
        "SELECT sql FROM main.sqlite_master WHERE name = ?1", {Variant(o.name)});
    std::string text = sql->rows().empty() ? "" : CStr(sql->rows()[0][0]);
    size_t at = text.find("identity_seed=");
    if (at != std::string::npos) seed = std::atoll(text.c_str() + at + 14);
    ident = {Variant(identity->name), Variant(seed), Variant(int64_t{1}), Variant(int32_t{0})};
  } else {
    ident = {Variant("No identity column defined."), Variant::Null(), Variant::Null(),
             Variant::Null()};
  }
  results->push_back(MakeSet({TextField("Identity"), FieldInfo{"Seed", DataType::kNumeric, 19, 38, 0},
                              FieldInfo{"Increment", DataType::kNumeric, 19, 38, 0},
                              IntField("Not For Replication")},
                             {std::move(ident)}));
  results->push_back(MakeSet({TextField("RowGuidCol")}, {{Variant("No rowguidcol column defined.")}}));
}

void HelpIndexes(Session& session, const Object& o, std::vector<RecordsetPtr>* results) {
  auto keys_of = [&](const std::string& index) {
    RecordsetPtr keys = session.db().Query(
        "SELECT group_concat(name, ', ') FROM (SELECT name FROM pragma_index_info(?1) "
        "ORDER BY seqno)",
        {Variant(index)});
    return keys->rows().empty() || keys->rows()[0][0].IsNull() ? std::string()
                                                                : CStr(keys->rows()[0][0]);
  };
  std::vector<Recordset::Row> rows;
  // The primary key: its own index, or the rowid column of an INTEGER PRIMARY KEY.
  RecordsetPtr list = session.db().Query(
      "SELECT name, origin, \"unique\", seq FROM pragma_index_list(?1, 'main') ORDER BY name",
      {Variant(o.name)});
  std::string primary_keys;
  for (const auto& row : list->rows()) {
    if (CStr(row[1]) == "pk") primary_keys = keys_of(CStr(row[0]));
  }
  if (primary_keys.empty()) {
    RecordsetPtr pk = session.db().Query(
        "SELECT name FROM pragma_table_info(?1, 'main') WHERE pk = 1", {Variant(o.name)});
    if (!pk->rows().empty()) primary_keys = CStr(pk->rows()[0][0]);
  }
  if (!primary_keys.empty()) {
    rows.push_back({Variant("PK_" + o.name),
                    Variant("clustered, unique, primary key located on PRIMARY"),
                    Variant(primary_keys)});
  }
  for (const auto& row : list->rows()) {
    std::string origin = CStr(row[1]);
    if (origin == "pk") continue;
    std::string name = CStr(row[0]);
    std::string shown = origin != "c" ? "UQ_" + o.name + "_" + CStr(row[3])
                        : name.rfind(o.name + "$", 0) == 0 ? name.substr(o.name.size() + 1)
                                                           : name;
    std::string description = "nonclustered";
    if (CLng(row[2]) != 0) description += origin == "u" ? ", unique, unique key" : ", unique";
    rows.push_back({Variant(shown), Variant(description + " located on PRIMARY"),
                    Variant(keys_of(name))});
  }
  if (rows.empty()) {
    session.AddMessage("The object '" + o.name + "' does not have any indexes, or you do not " +
                       "have permissions.");
    return;
  }
  results->push_back(MakeSet({TextField("index_name"), TextField("index_description", 210),
                              TextField("index_keys", 2126)},
                             std::move(rows)));
}

void SpHelp(Session& session, const std::vector<Variant>& args,
            std::vector<RecordsetPtr>* results) {
  if (args[0].IsNull()) {
    results->push_back(session.db().Query(
        "SELECT name AS Name, 'dbo' AS Owner, CASE type WHEN 'U ' THEN 'user table' "
        "WHEN 'V ' THEN 'view' ELSE 'stored procedure' END AS Object_type "
        "FROM temp.\"sys.objects\" ORDER BY name"));
    return;
  }
  std::string name = ObjectPart(ArgText(args[0]));
  Object o = FindObject(session, name);
  if (o.kind == Object::Kind::kNone) NoSuchObject(session, ArgText(args[0]));
  const char* type = o.kind == Object::Kind::kTable       ? "user table"
                     : o.kind == Object::Kind::kView      ? "view"
                     : o.kind == Object::Kind::kTrigger   ? "trigger"
                                                          : "stored procedure";
  results->push_back(MakeSet({TextField("Name"), TextField("Owner"), TextField("Type", 31),
                              FieldInfo{"Created_datetime", DataType::kDate, 8}},
                             {{Variant(o.name), Variant("dbo"), Variant(type), Variant::Null()}}));
  if (o.kind == Object::Kind::kTrigger) return;
  if (o.kind == Object::Kind::kProcedure) {
    CompiledBatchPtr compiled = session.Compile(o.definition);
    if (compiled->batch->statements.empty() ||
        compiled->batch->statements[0]->kind != StmtKind::kCreateProcedure) {
      return;
    }
    const auto& proc = static_cast<const CreateProcedureStmt&>(*compiled->batch->statements[0]);
    std::vector<Recordset::Row> rows;
    int order = 0;
    for (const ProcParam& p : proc.params) {
      TypeFacts t = TypeFactsOf(p.type.text);
      rows.push_back({Variant(p.name), TextOrNull(t.name),
                      IntOrNull(t.max_length, t.system_type_id > 0),
                      IntOrNull(t.precision, t.system_type_id > 0),
                      IntOrNull(t.scale, t.numeric_scale >= 0), Variant(int32_t{++order}),
                      t.has_chars ? Variant("SQL_Latin1_General_CP1_CI_AS") : Variant::Null()});
    }
    if (rows.empty()) return;
    results->push_back(MakeSet({TextField("Parameter_name"), TextField("Type"), SmallField("Length"),
                                IntField("Prec"), IntField("Scale"), IntField("Param_order"),
                                TextField("Collation")},
                               std::move(rows)));
    return;
  }
  HelpColumns(session, o, results);
  if (o.kind == Object::Kind::kTable) {
    results->push_back(MakeSet({TextField("Data_located_on_filegroup")}, {{Variant("PRIMARY")}}));
    HelpIndexes(session, o, results);
  }
}

void SpHelpText(Session& session, const std::vector<Variant>& args,
                std::vector<RecordsetPtr>* results) {
  if (args[0].IsNull()) {
    Raise(201, "Procedure or function 'sp_helptext' expects parameter '@objname', which was "
               "not supplied.");
  }
  std::string name = ObjectPart(ArgText(args[0]));
  Object o = FindObject(session, name);
  if (o.kind == Object::Kind::kNone) NoSuchObject(session, ArgText(args[0]));
  if (o.kind == Object::Kind::kTable) Raise(15197, "There is no text for object '" + name + "'.");
  std::vector<Recordset::Row> rows;
  size_t start = 0;
  const std::string& text = o.definition;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string::npos ? text.size() : nl;
    size_t cut = end > start && text[end - 1] == '\r' ? end - 1 : end;
    rows.push_back({Variant(text.substr(start, cut - start))});
    start = end + 1;
  }
  results->push_back(MakeSet({TextField("Text", 255)}, std::move(rows)));
}

// "'TABLE','VIEW'" -> which kinds sp_tables lists; NULL lists both.
bool TypeListed(const Variant& list, std::string_view kind) {
  if (list.IsNull()) return true;
  std::string upper = ToUpperAscii(CStr(list));
  return upper.find("'" + std::string(kind) + "'") != std::string::npos ||
         upper == std::string(kind);
}

void SpTables(Session& session, const std::vector<Variant>& args,
              std::vector<RecordsetPtr>* results) {
  std::string pattern = args[0].IsNull() ? "%" : CStr(args[0]);
  std::string kinds;
  if (TypeListed(args[3], "TABLE")) kinds += "'BASE TABLE'";
  if (TypeListed(args[3], "VIEW")) kinds += std::string(kinds.empty() ? "" : ", ") + "'VIEW'";
  if (kinds.empty()) kinds = "''";
  results->push_back(session.db().Query(
      "SELECT TABLE_CATALOG AS TABLE_QUALIFIER, TABLE_SCHEMA AS TABLE_OWNER, TABLE_NAME, "
      "CASE TABLE_TYPE WHEN 'VIEW' THEN 'VIEW' ELSE 'TABLE' END AS TABLE_TYPE, "
      "CAST(NULL AS TEXT) AS REMARKS FROM temp.\"information_schema.tables\" "
      "WHERE tsql_like(TABLE_NAME, ?1) AND (?2 IS NULL OR tsql_like(TABLE_SCHEMA, ?2)) "
      "AND TABLE_TYPE IN (" + kinds + ") ORDER BY 4, 3",
      {Variant(pattern), args[1]}));
}

void SpColumns(Session& session, const std::vector<Variant>& args,
               std::vector<RecordsetPtr>* results) {
  if (args[0].IsNull()) {
    Raise(201, "Procedure or function 'sp_columns' expects parameter '@table_name', which was "
               "not supplied.");
  }
  RecordsetPtr tables = session.db().Query(
      "SELECT TABLE_NAME FROM temp.\"information_schema.tables\" "
      "WHERE tsql_like(TABLE_NAME, ?1) ORDER BY TABLE_NAME",
      {Variant(ObjectPart(CStr(args[0])))});
  std::string column_pattern = args[3].IsNull() ? "%" : CStr(args[3]);
  std::vector<Recordset::Row> rows;
  for (const auto& table_row : tables->rows()) {
    std::string table = CStr(table_row[0]);
    for (const Column& c : ColumnsOf(session, table)) {
      RecordsetPtr match = session.db().Query("SELECT tsql_like(?1, ?2)",
                                              {Variant(c.name), Variant(column_pattern)});
      if (CLng(match->rows()[0][0]) == 0) continue;
      TypeFacts t = TypeFactsOf(c.decl);
      bool numeric = t.numeric_precision >= 0;
      bool is_float = t.name == "float" || t.name == "real";
      // ODBC's precision: characters for text, digits for numbers, 15 and 7 for the floats.
      int precision = t.has_chars           ? t.char_length
                      : t.name == "float"   ? 15
                      : t.name == "real"    ? 7
                      : t.numeric_precision >= 0 ? t.numeric_precision
                                            : t.precision;
      int length = t.name == "decimal" || t.name == "numeric" ? t.precision + 2 : t.max_length;
      int sql_data_type = t.name == "datetime" || t.name == "smalldatetime" ? 9 : t.odbc_type;
      rows.push_back({Variant(session.database_name()), Variant("dbo"), Variant(table),
                      Variant(c.name), Variant(int16_t(t.odbc_type)),
                      Variant(t.name + (c.identity ? " identity" : "")),
                      Variant(int32_t{precision}), Variant(int32_t{length}),
                      numeric || t.datetime_precision >= 0
                          ? Variant(int16_t(is_float ? 0 : t.scale))
                          : Variant::Null(),
                      numeric ? Variant(int16_t(t.numeric_radix)) : Variant::Null(),
                      Variant(int16_t(c.nullable ? 1 : 0)), Variant::Null(),
                      TextOrNull(c.default_sql), Variant(int16_t(sql_data_type)),
                      sql_data_type == 9 ? Variant(int16_t{3}) : Variant::Null(),
                      t.has_chars ? Variant(int32_t{t.octet_length}) : Variant::Null(),
                      Variant(int32_t{c.ordinal}), Variant(c.nullable ? "YES" : "NO"),
                      Variant::Null()});  // SS_DATA_TYPE: old TDS codes, not kept
    }
  }
  results->push_back(MakeSet(
      {TextField("TABLE_QUALIFIER"), TextField("TABLE_OWNER"), TextField("TABLE_NAME"),
       TextField("COLUMN_NAME"), SmallField("DATA_TYPE"), TextField("TYPE_NAME"),
       IntField("PRECISION"), IntField("LENGTH"), SmallField("SCALE"), SmallField("RADIX"),
       SmallField("NULLABLE"), TextField("REMARKS", 254), TextField("COLUMN_DEF", 4000),
       SmallField("SQL_DATA_TYPE"), SmallField("SQL_DATETIME_SUB"), IntField("CHAR_OCTET_LENGTH"),
       IntField("ORDINAL_POSITION"), TextField("IS_NULLABLE", 254), IntField("SS_DATA_TYPE")},
      std::move(rows)));
}

struct Procedure {
  const char* name;
  std::vector<std::string> params;
  void (*run)(Session&, const std::vector<Variant>&, std::vector<RecordsetPtr>*);
};

const std::vector<Procedure>& Procedures() {
  static const std::vector<Procedure> kProcedures = {
      {"sp_help", {"@objname"}, SpHelp},
      {"sp_helptext", {"@objname", "@columnname"}, SpHelpText},
      {"sp_tables", {"@table_name", "@table_owner", "@table_qualifier", "@table_type",
                     "@fUsePattern"}, SpTables},
      {"sp_columns", {"@table_name", "@table_owner", "@table_qualifier", "@column_name",
                      "@ODBCVer"}, SpColumns},
  };
  return kProcedures;
}

}  // namespace

bool IsSystemProcedure(std::string_view name) {
  for (const Procedure& p : Procedures()) {
    if (EqualsNoCase(p.name, name)) return true;
  }
  return false;
}

void RunSystemProcedure(Session& session, std::string_view name,
                        const std::vector<SystemProcedureArg>& args,
                        std::vector<RecordsetPtr>* results) {
  for (const Procedure& p : Procedures()) {
    if (!EqualsNoCase(p.name, name)) continue;
    session.EnsureCatalog();
    p.run(session, BindArgs(p.name, p.params, args), results);
    return;
  }
  Raise(2812, "Could not find stored procedure '" + std::string(name) + "'.");
}

}  // namespace ambit::tsql
