// Shared pieces of the runtime's function families: the value the functions work on, the error
// they raise, number and date text forms, and UTF-8 character handling. Not for use outside
// src/tsql/runtime*.cc.
#ifndef AMBIT_TSQL_RUNTIME_INTERNAL_H_
#define AMBIT_TSQL_RUNTIME_INTERNAL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace ambit::tsql::rt {

// A SQLite value with owned text, so the families are plain C++ and testable through
// ConvertValue as well as through SQL.
struct Value {
  enum Kind : uint8_t { kNull, kInt, kReal, kText, kBlob };  // a blob's bytes are in s
  Kind kind = kNull;
  int64_t i = 0;
  double r = 0;
  std::string s;

  static Value Int(int64_t v) { return Value{kInt, v, 0, {}}; }
  static Value Real(double v) { return Value{kReal, 0, v, {}}; }
  static Value Text(std::string v) { return Value{kText, 0, 0, std::move(v)}; }
  static Value Blob(std::string bytes) { return Value{kBlob, 0, 0, std::move(bytes)}; }
  bool is_null() const { return kind == kNull; }
  bool is_number() const { return kind == kInt || kind == kReal; }
  double AsDouble() const { return kind == kInt ? static_cast<double>(i) : r; }
};
using Args = std::vector<Value>;

// What a function throws; the trampoline turns it into "#NNN|message".
struct SqlError {
  int32_t number;
  std::string message;
};
[[noreturn]] void Fail(int32_t number, std::string message);

// 245 for a text that should have been an integer of the named type.
[[noreturn]] void FailConversion(std::string_view text, std::string_view type_name);

// Registers name for every argument count in [min_args, max_args]. Functions run with
// NULL-free arguments only when null_in_null_out is set (the common case: NULL in, NULL out).
using ScalarFn = Value (*)(const Args& args);
void AddScalar(sqlite3* db, const char* name, int min_args, int max_args, ScalarFn fn,
               bool null_in_null_out = true, bool deterministic = true);

void RegisterTextFunctions(sqlite3* db);
void RegisterTextCodeFunctions(sqlite3* db);
void RegisterNumberFunctions(sqlite3* db);
void RegisterDateFunctions(sqlite3* db);
void RegisterDatePartFunctions(sqlite3* db);
void RegisterConvertFunctions(sqlite3* db);
void RegisterLikeFunctions(sqlite3* db);
void RegisterSystemFunctions(sqlite3* db);
void RegisterSortedAggregates(sqlite3* db);
void RegisterPercentiles(sqlite3* db);
void RegisterRowFunctions(sqlite3* db);
void RegisterJsonFunctions(sqlite3* db);

// Rows packed for json_each (runtime_rows.cc): one value as its tag and payload, and text as a
// JSON string.
void AppendPackedField(std::string* out, char tag, std::string_view payload);
void AppendJsonString(std::string* out, std::string_view text);

// Binary as a number: its last `width` bytes read big-endian, sign-extended except for one
// byte (tinyint), as SQL Server converts varbinary to an integer type.
int64_t BlobAsInt(std::string_view bytes, size_t width);
// Bytes as SQL Server writes binary: upper-case hexadecimal, with or without "0x".
std::string HexBytes(std::string_view bytes, bool prefix);
// A value of a binary operand, converted for arithmetic or comparison with a number.
inline Value BlobAsNumber(const Value& v) {
  return v.kind == Value::kBlob ? Value::Int(BlobAsInt(v.s, 4)) : v;
}

// --- numbers
// Blanks around, optional sign, digits only; "" is 0 (as SQL Server converts '' to int).
bool ParseIntegerText(std::string_view s, int64_t* out);
// Blanks around, sign, digits with one optional point; exponent only when allow_exponent.
bool ParseDecimalText(std::string_view s, bool allow_exponent, double* out);
// Plain decimal text, at most 15 significant digits, no exponent for ordinary magnitudes.
std::string FormatReal(double d);
// Rounds on the decimal digits (15 significant), half away from zero or truncating.
double RoundDecimal(double x, int places, bool truncate = false);
// The same through the text of the digits, for every value (RoundDecimal takes a shortcut for
// values already on their places).
double RoundDecimalByDigits(double x, int places, bool truncate);
// Text of a number or text value, as concatenation and LEN see it.
std::string ToText(const Value& v);
// Value as an integer argument (count, position): numbers truncated, numeric text read.
int64_t ToInt(const Value& v, std::string_view type_name = "int");
double ToReal(const Value& v);
// Text met by a number in an operation or comparison, converted to the number's type as SQL
// Server converts varchar (245 for an int, 8114 for a decimal or float).
Value TextAsNumber(const Value& text, Value::Kind number_kind);

// --- text (UTF-8)
size_t CharCount(std::string_view s);
// Byte offset of the character with 0-based index n (s.size() when beyond the end).
size_t ByteOffset(std::string_view s, size_t n);
// Decodes one character at s[*pos], advancing *pos; invalid bytes decode as themselves.
uint32_t NextChar(std::string_view s, size_t* pos);
void AppendChar(std::string* out, uint32_t cp);
uint32_t FoldChar(uint32_t cp);  // lower case for comparison
uint32_t UpperChar(uint32_t cp);
std::string_view TrimTrailingBlanks(std::string_view s);
// Text escaped for a JSON string, as STRING_ESCAPE(s, 'json') writes it (without the quotes).
std::string JsonEscaped(std::string_view s);
bool EqualsNoCaseAscii(std::string_view a, std::string_view b);

// --- dates: milliseconds since 1900-01-01 00:00:00.000
struct DateTime {
  int64_t ms = 0;
};
inline constexpr int64_t kMsPerDay = 86400000;
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);  // days since 1900-01-01
void CivilFromDays(int64_t days, int* y, int* m, int* d);
struct Civil {
  int year, month, day, hour, minute, second, millisecond;
};
Civil ToCivil(DateTime t);
// nullopt when the fields are out of range.
std::optional<DateTime> FromCivil(int y, int m, int d, int hh = 0, int mi = 0, int ss = 0,
                                  int ms = 0);
// Any date text SQL Server accepts by default (us_english, mdy).
std::optional<DateTime> ParseDateText(std::string_view s);

// CAST(v AS type), the type as written ("decimal(10,2)").
Value CastToType(const Value& v, std::string_view type_text);

// --- CONVERT's date styles (runtime_date_styles.cc)

// A date from a value; text is read in the style's day/month order (style < 0: none given).
DateTime ToDate(const Value& v, int64_t style);
// The text of a date in a numbered style; 281 for a style that has none.
std::string FormatDateStyle(DateTime t, int64_t style);
// The text of a date, time or datetime2 value (its type as "time(3)") in a style (-1: none).
std::string TypedDateText(const Value& v, int64_t style, std::string_view type);

// "yyyy-MM-dd HH:mm:ss", with ".fff" when the milliseconds are not zero.
std::string FormatDateTime(DateTime t);
// Text that is already in the form dates travel in ("yyyy-MM-dd HH:mm:ss[.fff]" or
// "yyyy-MM-dd"): such text came from a date column or function, so it is a date.
bool IsCanonicalDateText(std::string_view s);
// The canonical text of t; 517 when t is outside the years 1 to 9999.
Value DateResult(DateTime t);
// A value used as a date: text parsed (241 when it is no date), numbers as days since 1900.
DateTime ToDateTime(const Value& v);

}  // namespace ambit::tsql::rt

#endif  // AMBIT_TSQL_RUNTIME_INTERNAL_H_
