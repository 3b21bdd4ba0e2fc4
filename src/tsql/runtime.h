// The runtime of the embedded engine: SQLite user functions and the TSQL collation that give
// translated statements SQL Server's semantics where SQLite's differ.
//
// The emitter never relies on SQLite's own operators or affinity for anything a T-SQL author
// could observe differently (text '+', numeric text against numbers, integer division, text
// comparison); it calls the functions listed here instead.
//
// VALUES AS THEY TRAVEL
//   integer            INTEGER (bit is 0/1)
//   decimal, float     REAL (decimal values already rounded to their scale)
//   text               TEXT (UTF-8); lengths and positions count characters, not bytes
//   datetime           TEXT "yyyy-MM-dd HH:mm:ss" or "yyyy-MM-dd HH:mm:ss.fff" when the
//                      milliseconds are not zero ("canonical date text")
//   NULL               NULL; every scalar function returns NULL when a value argument is NULL
//                      (exceptions are noted)
//
// ERRORS
//   A function fails with sqlite3_result_error and the message "#NNN|text", NNN being SQL
//   Server's error number; DecodeError (and SqliteDb) turns it back into a ComError.
//   245   Conversion failed when converting the varchar value 'x' to data type int.
//   241   Conversion failed when converting date and/or time from character string.
//   8114  Error converting data type varchar to numeric.   (or "to float.")
//   8115  Arithmetic overflow error converting expression to data type int.
//   220   Arithmetic overflow error for data type tinyint, value = 256. (an integer into
//         tinyint or smallint)
//         (or "... converting numeric to data type numeric.")
//   8134  Divide by zero error encountered.
//   8152  String or binary data would be truncated.
//   155   'x' is not a recognized datepart option.
//   189   The xxx function requires 2 to 3 arguments.  (arity is checked by SQLite itself)
//
// FUNCTIONS (name(arguments): T-SQL meaning)
//
// Operators
//   tsql_add(a, b)       a + b. Both text: concatenation. A number and text: the text is
//                        converted to the number's type (int side: integer text only, else 245;
//                        float side: numeric text, else 8114). Numbers: integer + integer stays
//                        integer, otherwise REAL. Two operands within 32 bits whose result is
//                        not are 8115, as int arithmetic is (so are 64-bit overflows). A
//                        canonical date text + a number adds days (getdate() + 1); dates
//                        outside the years 1 to 9999 are 517.
//   tsql_sub(a, b)       a - b, same conversions (date text - number subtracts days).
//   tsql_mul(a, b)       a * b.
//   tsql_div(a, b)       a / b; integer / integer truncates toward zero; b = 0 is 8134.
//   tsql_mod(a, b)       a % b; b = 0 is 8134.
//   tsql_neg(a)          -a (numeric text converted).
//   tsql_bitxor(a, b)    a ^ b on integers (SQLite has & | ~ but no ^).
//   tsql_cmp(a, b)       -1, 0 or 1; NULL when either is NULL. Number against number
//                        numerically; number against text converts the text like tsql_add
//                        (so 38193 = '38193' and 245 for '38x'); text against text with the
//                        TSQL collation, except that a canonical date text against any text
//                        that is a date compares as dates ('2026-12-05 00:00:00' = '20261205').
//                        Emit comparisons as tsql_cmp(a, b) <op> 0 where operand types are not
//                        known to be equal; columns of the same text type can use COLLATE TSQL.
//   tsql_like(v, p [, escape])  v LIKE p: % _ [abc] [a-z] [^a], case-insensitive, trailing
//                        blanks of v ignored when p does not end in a literal blank. Numbers
//                        are matched as their text. NULL when either is NULL, else 0/1.
//
// Text
//   tsql_len(s)          characters without trailing blanks; numbers measured as their text.
//   tsql_datalength(s)   bytes of the UTF-8 text; INTEGER 4 (8 beyond 32 bits), REAL 8.
//   tsql_left(s, n), tsql_right(s, n)      n < 0 is error 536.
//   tsql_substring(s, start, length)       1-based; start < 1 eats into length as SQL Server.
//   tsql_charindex(find, in [, start])     1-based position or 0; case-insensitive.
//   tsql_patindex(pattern, in)             1-based position of a LIKE pattern, or 0.
//   tsql_replace(s, find, with)            every occurrence, found case-insensitively.
//   tsql_stuff(s, start, length, insert)   NULL when start is outside 1..len(s) (so STUFF of
//                                          an empty aggregate is NULL); insert NULL is ''.
//   tsql_ltrim(s), tsql_rtrim(s), tsql_trim(s)   blanks only.
//   tsql_upper(s), tsql_lower(s)           ASCII and Latin-1/Greek/Cyrillic letters.
//   tsql_replicate(s, n), tsql_space(n)    n < 0 gives NULL.
//   tsql_reverse(s)
//   tsql_str(x [, length [, decimals]])    right-aligned in length (default 10), rounded to
//                                          decimals (default 0); '*' * length when too wide.
//   tsql_quotename(s [, quote])            [s] with ] doubled (or 's' / "s").
//   tsql_xml_escape(s)   & < > as FOR XML PATH('') writes them.
//   tsql_concat(a, b, ...)  2 to 16 arguments; NULL counts as ''.
//
// Numbers
//   tsql_abs(x), tsql_sign(x), tsql_floor(x), tsql_ceiling(x), tsql_power(x, y), tsql_sqrt(x)
//   tsql_round(x, n [, truncate])  half away from zero on the decimal digits (2.345 -> 2.35);
//                        n may be negative; a non-zero third argument truncates instead.
//                        An INTEGER x stays INTEGER.
//   tsql_float_text(x [, style])  float as text: style 0 six significant digits, scientific with a
//                        three-digit exponent when needed (1.23457e+006); 1, 2, 3 always
//                        scientific with 8, 16, 17 digits.
//   tsql_money_text(x [, style])  money as text: 0 two places, 1 with thousands separators, 2
//                        four places.
//   tsql_isnumeric(v)    1 when v converts to a number (blanks around, sign, one point,
//                        digits, currency sign '$', thousands ',' and exponents accepted as SQL
//                        Server does), else 0; NULL gives 0.
//
// Dates (part names: year yy yyyy, quarter qq q, month mm m, dayofyear dy y, day dd d,
//        week wk ww, iso_week isowk isoww, weekday dw, hour hh, minute mi n, second ss s, millisecond ms;
//        case-insensitive, given as text; weeks start on Sunday)
//   tsql_getdate()       local time, canonical date text with milliseconds. tsql_getutcdate().
//   tsql_dateadd(part, n, d)   n truncated to an integer; month/quarter/year clamp the day to
//                        the end of the target month (Jan 31 + 1 month = Feb 28/29).
//   tsql_datediff(part, a, b)  number of part boundaries crossed from a to b.
//   tsql_datepart(part, d), tsql_datename(part, d) (month and weekday names in English).
//   tsql_year(d), tsql_month(d), tsql_day(d)
//   tsql_isdate(v)       1 when v is a date text SQL Server accepts, else 0.
//   tsql_eomonth(d [, months])  last day of the month months after d's, time 00:00:00.
//   Any date text SQL Server accepts converts: '2026-12-05', '2026/12/5', '20261205',
//   '2026-12-05T10:00:00', '2026-12-05 10:00[:00[.123]]', '1900/1/1'. Invalid text is 241.
//   Numbers as dates count days from 1900-01-01.
//
// Conversion (type_text: int, bigint, smallint, tinyint, bit, decimal(p,s), numeric(p,s),
//             money, smallmoney, float, real, char(n), varchar(n|max), nchar(n),
//             nvarchar(n|max), text, ntext, datetime, smalldatetime, datetime2, date,
//             uniqueidentifier; case-insensitive)
//   tsql_cast(v, type_text)          CAST(v AS type). Text to char types truncates silently
//                        (varchar without length means 30); to decimal rounds half away from
//                        zero (8115 when too many integer digits); to int truncates toward zero
//                        (numeric text with a point is 245 as in SQL Server); '' to int is 0; to
//                        date types gives canonical date text (datetime: milliseconds in
//                        1/300 seconds, .000/.003/.007; date: "yyyy-MM-dd"; time:
//                        "HH:mm:ss[.fff]"; smalldatetime rounds to the minute); '' to a date
//                        is 1900-01-01.
//   tsql_convert(type_text, v [, style])  CONVERT(type, v, style). A date (canonical or other
//                        date text, when a style is given) to a char type is formatted by style:
//                        0/100 "Mon dd yyyy hh:miAM", 101 mm/dd/yyyy, 102 yyyy.mm.dd, 103
//                        dd/mm/yyyy, 104 dd.mm.yyyy, 106 dd mon yyyy, 107 Mon dd, yyyy,
//                        24/108 hh:mi:ss, 111 yyyy/mm/dd, 112 yyyymmdd,
//                        20/120 yyyy-mm-dd hh:mi:ss, 21/121/25 yyyy-mm-dd hh:mi:ss.mmm, 23
//                        yyyy-mm-dd, 126 yyyy-mm-ddThh:mi:ss[.mmm], 9/109, 13/113, 14/114 and
//                        the two-digit-year forms 1-5, 10-12; others are 281; the target length
//                        then truncates. Text to a date type reads 101/103/104/111/112 by style.
//                        Without a style it is tsql_cast. (A canonical date text cast to varchar
//                        without a style stays "yyyy-MM-dd HH:mm:ss".)
//   tsql_store(v, type_text)     the value stored into a column of that type: tsql_cast, but
//                        text longer than the column is 8152 and char(n) is blank-padded.
//   tsql_store_decimal(v, p, s)  rounded to s places half away from zero; more than p - s
//                        integer digits is 8115; non-numeric text is 8114.
//   tsql_store_int(v)            truncated toward zero; outside 32 bits is 8115; non-numeric text
//                        is 245.
//   tsql_check_len(v, n)         v unchanged, or 8152 when its text is longer than n characters
//                        (trailing blanks beyond n are cut silently, as SQL Server does).
//
// Other
//   tsql_newid()                 a random uniqueidentifier text (upper case, 36 characters).
//   tsql_serverproperty(name)    'productversion' -> '15.0.2000.5', 'productmajorversion' ->
//                                '15', 'edition' -> 'Developer Edition (64-bit)', else NULL.
//   tsql_raise(number, message)  always fails with "#number|message" (lets emitted SQL raise).
//
// Aggregates
//   tsql_string_agg(v [, separator])  concatenation in the order rows arrive, NULL skipped;
//                        NULL when no value was concatenated. FOR XML PATH('') is
//                        tsql_string_agg(tsql_xml_escape(expr)) over the ordered rows.
//   tsql_single(v)       the one value of a subquery used as an expression: NULL without rows,
//                        error 512 when a second row comes. (SELECT tsql_single(x) FROM
//                        (<the subquery>)) keeps SQL Server's refusal that SQLite lacks.
//
// Collation TSQL: case-insensitive (ASCII, Latin-1, Greek and Cyrillic letters) and trailing
// blanks ignored; otherwise bytewise (so CJK text orders by code point).
#ifndef AMBIT_TSQL_RUNTIME_H_
#define AMBIT_TSQL_RUNTIME_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/variant.h"

struct sqlite3;

namespace ambit::tsql {

// Source of every error the engine raises.
inline constexpr char kErrorSource[] = "ambit-order.tsql";
inline constexpr char kCollationName[] = "TSQL";

// Registers every function above and the TSQL collation on a connection. Raises ComError when
// SQLite refuses one (out of memory).
void RegisterRuntime(sqlite3* db);

// "#NNN|message", the form function errors travel in through SQLite.
std::string EncodeError(int32_t number, std::string_view message);
// Recovers number and message from a SQLite error text of that form; false for any other text.
bool DecodeError(std::string_view text, int32_t* number, std::string* message);

// The TSQL collation as a comparison: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);

// CAST(v AS type_text) for the interpreter (DECLARE @d datetime = '20261205', SET on typed
// variables) without a trip through SQLite. store = false cuts overlong text silently as an
// assignment does (a text type without length means 30: declare variables with their length);
// store = true applies tsql_store's rules (8152, length 1 when none is given). Dates come back as
// canonical date text, integers as Long (LongLong beyond 32 bits), decimals and floats as
// Double. Failures raise ComError with the numbers above.
Variant ConvertValue(const Variant& v, std::string_view type_text, bool store = false);

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_RUNTIME_H_
