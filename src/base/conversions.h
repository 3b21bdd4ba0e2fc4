// Conversions with the original platform's rules. Every failure raises ComError naming the
// value and the kind that was expected, so a bad argument is reported, never guessed at.
#ifndef AMBIT_BASE_CONVERSIONS_H_
#define AMBIT_BASE_CONVERSIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/variant.h"

namespace ambit {

// Text of a value: numbers in plain decimal (at most 15 significant digits, no exponent, no
// thousands separator, no trailing zeros), booleans "True"/"False", dates as
// "yyyy-MM-dd HH:mm:ss", Empty as "". Null and objects are type errors.
std::string CStr(const Variant& v);
std::string FormatNumber(double d);

// Banker's rounding to integers; out of range is error 6 (Overflow).
int32_t CLng(const Variant& v);
int16_t CInt(const Variant& v);
int64_t CLngLng(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);
Date CDate(const Variant& v);

// Leading number of a text, 0 when there is none ("12abc" -> 12). Never fails.
double Val(std::string_view s);
// Optional surrounding blanks, optional sign, digits with at most one decimal point and at least
// one digit. Numbers, booleans and Empty are numeric; Null and objects are not.
bool IsNumeric(const Variant& v);
bool IsNumericText(std::string_view s);

// "yyyy-MM-dd HH:mm:ss" (milliseconds dropped).
std::string FormatDate(Date d);
// Whether a text is already what FormatDate writes for the date it names: a real date and
// time in exactly that form, which FormatDate(*ParseDate(s)) gives back unchanged.
bool IsFormattedDate(std::string_view s);
// Date texts SQL Server and the original platform accept: "yyyy-MM-dd[ HH:mm[:ss[.fff]]]",
// "yyyy/M/d ...", "yyyyMMdd", "yyyy-MM-ddTHH:mm:ss". nullopt when the text is no date.
std::optional<Date> ParseDate(std::string_view s);
Date MakeDate(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);
struct DateParts {
  int year, month, day, hour, minute, second, millisecond;
};
DateParts SplitDate(Date d);

// Comparison as the platform compares two values in an expression: numbers numerically, text
// with text bytewise, a number against numeric text numerically. Returns <0, 0, >0. Null or an
// object on either side is a type error; Empty counts as 0 or "".
int CompareVariants(const Variant& a, const Variant& b);

// Text form used in error messages: the value and its subtype, e.g. "'abc' (String)".
std::string DescribeValue(const Variant& v);

}  // namespace ambit

#endif  // AMBIT_BASE_CONVERSIONS_H_
