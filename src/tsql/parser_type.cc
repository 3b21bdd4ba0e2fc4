// Type names and the declared types of CAST, CONVERT and declarations.
#include <algorithm>
#include <charconv>
#include <limits>

#include "base/com_error.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"

namespace ambit::tsql {

bool IsTextTypeName(std::string_view n) {  // string_view compares lengths first
  return n == "varchar" || n == "nvarchar" || n == "char" || n == "nchar" || n == "text" ||
         n == "ntext" || n == "sysname" || n == "uniqueidentifier" || n == "xml";
}

bool IsNumericTypeName(std::string_view n) {
  return n == "int" || n == "bigint" || n == "smallint" || n == "tinyint" || n == "bit" ||
         n == "decimal" || n == "numeric" || n == "money" || n == "smallmoney" ||
         n == "float" || n == "real" || n == "integer";
}

namespace {

// The value of a number token as atoi reads it: the leading digits, taken as a long and cut to
// int.
int TokenInt(std::string_view digits) {
  long long value = 0;
  if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec ==
      std::errc::result_out_of_range) {
    value = std::numeric_limits<long>::max();
  }
  return static_cast<int>(value);
}

}  // namespace

TypeRef Parser::ParseType(bool in_cast) {
  TypeRef t;
  if (!IsName()) Fail();
  // dbo.MyType is not supported below; the last part names the type.
  std::string qualified;
  std::string_view written;
  if (IsOp(".", 1)) {
    qualified = ParseQualifiedName().back();
    written = qualified;
  } else {
    written = Advance().text;
  }
  t.name = ToLowerAscii(written);
  // Views compare their lengths first; a std::string against a literal or a view would compare
  // the bytes of every candidate.
  auto is = [&t](std::string_view word) { return std::string_view(t.name) == word; };
  if (is("double") && IsKeyword("precision")) {
    Advance();
    t.name = "float";
  }
  if (is("national") || is("character") || is("char") || is("nchar")) {
    if (AcceptKeyword("varying")) t.name = is("nchar") ? "nvarchar" : "varchar";
  }
  static constexpr std::string_view kKnown[] = {
      "int",      "bigint",  "smallint", "tinyint", "bit",      "decimal",  "numeric",
      "money",    "smallmoney", "float", "real",    "char",     "varchar",  "nchar",
      "nvarchar", "text",    "ntext",    "datetime", "smalldatetime", "datetime2", "date",
      "time",     "uniqueidentifier", "sysname", "integer", "varbinary", "binary", "image",
      "timestamp", "xml",   "datetimeoffset", "rowversion"};
  const std::string_view lowered = t.name;
  if (std::find(std::begin(kKnown), std::end(kKnown), lowered) == std::end(kKnown)) {
    // SQL Server words the two cases differently: a CAST target is checked against the system
    // types only, a declaration would also look for a user-defined type.
    if (in_cast) {
      throw ComError(243, kEngineErrorSource,
                     "Type " + std::string(written) + " is not a defined system type.");
    }
    throw ComError(2715, kEngineErrorSource,
                   "Column, parameter, or variable: Cannot find data type " + std::string(written) +
                       ".");
  }
  // INTEGER is only a synonym of int; kept as written it would also be the one type spelling
  // that makes SQLite alias a key column to the row number.
  if (lowered == "integer") t.name = "int";
  t.text = t.name;
  const std::string_view name = t.name;
  if (AcceptOp("(")) {
    if (AcceptKeyword("max")) {
      t.length = 0;
      t.text += "(max)";
    } else {
      if (Peek().kind != TokenKind::kNumber) Fail();
      int first = TokenInt(Advance().text);
      if (AcceptOp(",")) {
        if (Peek().kind != TokenKind::kNumber) Fail();
        t.precision = first;
        t.scale = TokenInt(Advance().text);
        t.text += '(';
        t.text += std::to_string(t.precision);
        t.text += ',';
        t.text += std::to_string(t.scale);
        t.text += ')';
      } else if (name == "decimal" || name == "numeric" || name == "float" ||
                 name == "datetime2" || name == "time") {
        t.precision = first;
        t.scale = (name == "decimal" || name == "numeric") ? 0 : -1;
        t.text += '(';
        t.text += std::to_string(first);
        t.text += t.scale == 0 ? ",0)" : ")";
      } else {
        t.length = first;
        t.text += '(';
        t.text += std::to_string(first);
        t.text += ')';
      }
    }
    ExpectOp(")");
  } else if (name == "decimal" || name == "numeric") {
    t.precision = 18;
    t.scale = 0;
    t.text += "(18,0)";
  } else if (name == "char" || name == "nchar" || name == "varchar" ||
             name == "nvarchar") {
    t.length = in_cast ? 30 : 1;  // a declaration without length means one character
    t.text += in_cast ? "(30)" : "(1)";
  } else if (name == "sysname") {
    t.name = "nvarchar";
    t.length = 128;
    t.text = "nvarchar(128)";
  }
  return t;
}

}  // namespace ambit::tsql
