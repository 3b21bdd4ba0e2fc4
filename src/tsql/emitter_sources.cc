// Row sources beyond tables and subqueries: table value constructors.
#include "base/com_error.h"
#include "tsql/emitter.h"
#include "tsql/lexer.h"

namespace ambit::tsql {

std::string Emitter::ValuesText(const TableRef& t) {
  // SQLite names the columns of VALUES column1, column2 ...; a common table expression gives
  // them the T-SQL names. Text columns compare as SQL Server's collation does, like a literal
  // in a select list.
  std::string names, outer;
  for (size_t i = 0; i < t.columns.size(); ++i) {
    std::string name = QuoteName(t.columns[i]);
    names += (i ? ", " : "") + name;
    outer += (i ? ", " : "") + name;
    if (TypeOf(*t.values[0][i]) == StaticType::kText) outer += " COLLATE TSQL";
    outer += " AS " + name;
  }
  std::string rows;
  for (size_t r = 0; r < t.values.size(); ++r) {
    rows += r ? ", (" : "(";
    for (size_t i = 0; i < t.values[r].size(); ++i) {
      rows += (i ? ", " : "") + Expression(*t.values[r][i]);
    }
    rows += ")";
  }
  return "(WITH \"tsql_values\"(" + names + ") AS (VALUES " + rows + ") SELECT " + outer +
         " FROM \"tsql_values\") AS " + QuoteName(t.alias);
}

}  // namespace ambit::tsql
