// CAST, CONVERT with styles, and the conversions a value undergoes when it is stored into a
// typed column or variable.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql {
namespace rt {
namespace {

struct TypeRef {
  enum Kind {
    kInteger,
    kBit,
    kDecimal,
    kFloat,
    kText,
    kDateTime,
    kSmallDateTime,
    kDate,
    kTime,
    kGuid,
    kBinary,
    kOther
  };
  Kind kind = kOther;
  std::string name;          // as SQL Server names it in messages
  int64_t min = 0, max = 0;  // integer range
  int precision = 18, scale = 0;
  int64_t length = 0;  // characters; -1 for max
  bool fixed = false;  // char/nchar: blank-padded
};

// Lengths a text type gets when its declaration has none: CAST/CONVERT use 30, a column or
// variable 1.
TypeRef ParseType(std::string_view text, bool store) {
  std::string lower;
  for (char c : text) {
    if (c != ' ' && c != '[' && c != ']')
      lower += static_cast<char>(FoldChar(static_cast<unsigned char>(c)));
  }
  std::string name = lower.substr(0, lower.find('('));
  std::string args = name.size() < lower.size() ? lower.substr(name.size()) : "";
  int64_t a1 = -2, a2 = -2;  // -2: absent, -1: max
  if (!args.empty()) {
    if (args.back() != ')') Fail(102, "Incorrect syntax near '" + std::string(text) + "'.");
    std::string inner = args.substr(1, args.size() - 2);
    size_t comma = inner.find(',');
    auto number = [&](std::string_view t) -> int64_t {
      if (t == "max") return -1;
      int64_t v;
      if (t.empty() || !ParseIntegerText(t, &v) || v < 0) {
        Fail(102, "Incorrect syntax near '" + std::string(text) + "'.");
      }
      return v;
    };
    a1 = number(std::string_view(inner).substr(0, comma));
    if (comma != std::string::npos) a2 = number(std::string_view(inner).substr(comma + 1));
  }
  TypeRef t;
  t.name = name;
  auto integer = [&](int64_t lo, int64_t hi) {
    t.kind = TypeRef::kInteger;
    t.min = lo;
    t.max = hi;
  };
  if (name == "int" || name == "integer") {
    integer(INT32_MIN, INT32_MAX);
    t.name = "int";
  } else if (name == "bigint") {
    integer(INT64_MIN, INT64_MAX);
  } else if (name == "smallint") {
    integer(INT16_MIN, INT16_MAX);
  } else if (name == "tinyint") {
    integer(0, 255);
  } else if (name == "bit") {
    t.kind = TypeRef::kBit;
  } else if (name == "decimal" || name == "numeric" || name == "dec") {
    t.kind = TypeRef::kDecimal;
    t.name = "numeric";
    if (a1 >= 0) t.precision = static_cast<int>(a1);
    if (a2 >= 0) t.scale = static_cast<int>(a2);
    if (t.precision < 1 || t.precision > 38 || t.scale > t.precision) {
      Fail(2750, "Column or parameter has specified a precision or scale that is out of range.");
    }
  } else if (name == "money" || name == "smallmoney") {
    t.kind = TypeRef::kDecimal;
    t.precision = name == "money" ? 19 : 10;
    t.scale = 4;
  } else if (name == "float" || name == "real" || name == "doubleprecision") {
    t.kind = TypeRef::kFloat;
  } else if (name == "char" || name == "nchar" || name == "varchar" || name == "nvarchar" ||
             name == "character" || name == "sysname" || name == "text" || name == "ntext" ||
             name == "xml") {
    t.kind = TypeRef::kText;
    t.fixed = name == "char" || name == "nchar" || name == "character";
    if (name == "text" || name == "ntext" || name == "xml") {
      t.length = -1;
    } else if (name == "sysname") {
      t.length = 128;
    } else {
      t.length = a1 != -2 ? a1 : (store ? 1 : 30);
      int64_t limit = name[0] == 'n' ? 4000 : 8000;
      if (t.length > limit) {
        Fail(131, "The size (" + std::to_string(t.length) + ") given to the type '" + name +
                      "' exceeds the maximum allowed for any data type (" + std::to_string(limit) +
                      ").");
      }
    }
  } else if (name == "datetime" || name == "datetime2" || name == "datetimeoffset") {
    t.kind = TypeRef::kDateTime;
  } else if (name == "smalldatetime") {
    t.kind = TypeRef::kSmallDateTime;
  } else if (name == "date") {
    t.kind = TypeRef::kDate;
  } else if (name == "time") {
    t.kind = TypeRef::kTime;
  } else if (name == "uniqueidentifier") {
    t.kind = TypeRef::kGuid;
  } else if (name == "varbinary" || name == "binary") {
    t.kind = TypeRef::kBinary;
    t.fixed = name == "binary";
    t.length = a1 != -2 ? a1 : (store ? 1 : 30);
    if (t.length > 8000) {
      Fail(131, "The size (" + std::to_string(t.length) + ") given to the type '" + name +
                    "' exceeds the maximum allowed for any data type (8000).");
    }
  } else if (name == "sql_variant" || name == "image" || name == "timestamp" ||
             name == "rowversion") {
    t.kind = TypeRef::kOther;
  } else {
    Fail(243, "Type " + std::string(text) + " is not a defined system type.");
  }
  return t;
}

const char* SourceTypeName(const Value& v) {
  return v.kind == Value::kInt ? "int" : v.kind == Value::kReal ? "numeric" : "varchar";
}

Value ToInteger(const Value& v, const TypeRef& t) {
  int64_t r;
  if (v.kind == Value::kBlob) {
    // The integer's own width of bytes, whatever its range: 0xFFFFFFFF is -1 as an int.
    size_t width = t.name == "tinyint" ? 1 : t.name == "smallint" ? 2 : t.name == "int" ? 4 : 8;
    return Value::Int(BlobAsInt(v.s, width));
  }
  if (v.kind == Value::kText) {
    if (!ParseIntegerText(v.s, &r)) FailConversion(v.s, t.name);
  } else if (v.kind == Value::kReal) {
    if (!(std::fabs(v.r) < 9.2e18)) {
      Fail(8115, "Arithmetic overflow error converting expression to data type " + t.name + ".");
    }
    r = static_cast<int64_t>(std::trunc(v.r));
  } else {
    r = v.i;
  }
  if (r < t.min || r > t.max) {
    if (v.kind == Value::kInt && (t.name == "tinyint" || t.name == "smallint")) {
      Fail(220, "Arithmetic overflow error for data type " + t.name + ", value = " +
                    std::to_string(r) + ".");
    }
    Fail(8115, "Arithmetic overflow error converting expression to data type " + t.name + ".");
  }
  return Value::Int(r);
}

Value ToBit(const Value& v) {
  if (v.kind == Value::kText) {
    if (EqualsNoCaseAscii(v.s, "true")) return Value::Int(1);
    if (EqualsNoCaseAscii(v.s, "false")) return Value::Int(0);
    int64_t r;
    if (!ParseIntegerText(v.s, &r)) FailConversion(v.s, "bit");
    return Value::Int(r != 0);
  }
  return Value::Int(v.AsDouble() != 0);
}

Value ToDecimal(const Value& v, int precision, int scale) {
  double d;
  if (v.kind == Value::kText) {
    if (!ParseDecimalText(v.s, false, &d))
      Fail(8114, "Error converting data type varchar to numeric.");
  } else {
    d = v.AsDouble();
  }
  double r = RoundDecimal(d, scale);
  if (!(std::fabs(r) < std::pow(10.0, precision - scale))) {
    Fail(8115, std::string("Arithmetic overflow error converting ") + SourceTypeName(v) +
                   " to data type numeric.");
  }
  if (scale == 0 && std::fabs(r) < 9e18) return Value::Int(static_cast<int64_t>(r));
  return Value::Real(r);
}

// Fits text into a text type: a cast cuts silently, a store refuses to lose anything but blanks.
std::string FitText(std::string s, const TypeRef& t, bool store) {
  if (t.length >= 0) {
    size_t n = CharCount(s);
    if (n > static_cast<size_t>(t.length)) {
      size_t cut = ByteOffset(s, static_cast<size_t>(t.length));
      if (store && s.find_first_not_of(' ', cut) != std::string::npos) {
        Fail(8152, "String or binary data would be truncated.");
      }
      s.resize(cut);
    } else if (t.fixed) {
      s.append(static_cast<size_t>(t.length) - n, ' ');
    }
  }
  return s;
}

Value ToTextType(const Value& v, const TypeRef& t, int64_t style, bool store) {
  if (v.kind == Value::kBlob) {
    // Styles 1 and 2 write the bytes in hexadecimal, with and without "0x"; 0 as characters.
    std::string text = style == 1 || style == 2 ? HexBytes(v.s, style == 1) : v.s;
    return Value::Text(FitText(std::move(text), t, store));
  }
  if (v.kind == Value::kText) {
    bool date_style = style >= 0 && (IsCanonicalDateText(v.s) || ParseDateText(v.s).has_value());
    if (date_style) return Value::Text(FitText(FormatDateStyle(ToDate(v, 0), style), t, store));
    return Value::Text(FitText(v.s, t, store));
  }
  std::string s = ToText(v);
  if (!store && v.kind == Value::kInt && t.length >= 0 &&
      CharCount(s) > static_cast<size_t>(t.length)) {
    return Value::Text("*");  // SQL Server's mark for an integer that does not fit
  }
  return Value::Text(FitText(std::move(s), t, store));
}

Value ToGuid(const Value& v) {
  std::string s = ToText(v);
  std::string_view g = s;
  if (g.size() == 38 && g.front() == '{' && g.back() == '}') g = g.substr(1, 36);
  bool ok = g.size() == 36;
  std::string out;
  for (size_t i = 0; ok && i < g.size(); ++i) {
    char c = g[i];
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    ok = dash ? c == '-' : std::isxdigit(static_cast<unsigned char>(c)) != 0;
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (!ok) {
    Fail(8169, "Conversion failed when converting from a character string to uniqueidentifier.");
  }
  return Value::Text(out);
}

// Text gives its bytes, an integer its 4 bytes (8 past int's range) big-endian; varbinary
// cuts what does not fit (a store refuses to), binary also pads with zero bytes.
Value ToBinary(const Value& v, const TypeRef& t, bool store) {
  std::string bytes;
  if (v.kind == Value::kInt) {
    int width = v.i >= INT32_MIN && v.i <= INT32_MAX ? 4 : 8;
    for (int k = width - 1; k >= 0; --k) bytes += static_cast<char>((v.i >> (8 * k)) & 0xFF);
  } else if (v.kind == Value::kReal) {
    Fail(529, "Explicit conversion from data type float to varbinary is not allowed.");
  } else {
    bytes = v.s;
  }
  if (t.length >= 0 && bytes.size() > static_cast<size_t>(t.length)) {
    if (store) Fail(8152, "String or binary data would be truncated.");
    bytes.resize(static_cast<size_t>(t.length));
  } else if (t.fixed && t.length >= 0) {
    bytes.append(static_cast<size_t>(t.length) - bytes.size(), '\0');
  }
  return Value::Blob(std::move(bytes));
}

// style < 0: none given.
Value Cast(const Value& v, const TypeRef& t, int64_t style, bool store) {
  if (v.is_null()) return v;
  switch (t.kind) {
    case TypeRef::kInteger:
      return ToInteger(v, t);
    case TypeRef::kBit:
      return ToBit(v);
    case TypeRef::kDecimal:
      return ToDecimal(v, t.precision, t.scale);
    case TypeRef::kFloat:
      return Value::Real(ToReal(v));
    case TypeRef::kText:
      return ToTextType(v, t, style, store);
    case TypeRef::kDateTime: {
      DateTime d = ToDate(v, style);
      if (t.name == "datetime") {
        // datetime keeps time in 1/300 seconds: milliseconds end in 0, 3 or 7.
        int64_t day = d.ms - d.ms % 1000, ms = d.ms % 1000;
        d.ms = day + std::llround(std::llround(ms * 0.3) / 0.3);
      }
      return Value::Text(FormatDateTime(d));
    }
    case TypeRef::kSmallDateTime: {
      DateTime d = ToDate(v, style);
      // smalldatetime keeps minutes; 29.999 seconds round down, 30 up.
      d.ms = (d.ms + 30000) / 60000 * 60000;
      return Value::Text(FormatDateTime(d));
    }
    case TypeRef::kDate:
      return Value::Text(FormatDateTime(ToDate(v, style)).substr(0, 10));
    case TypeRef::kTime: {
      std::string full = FormatDateTime(ToDate(v, style));
      return Value::Text(full.substr(11));
    }
    case TypeRef::kGuid:
      return ToGuid(v);
    case TypeRef::kBinary:
      return ToBinary(v, t, store);
    case TypeRef::kOther:
      break;
  }
  return v;
}

Value CastFn(const Args& a) { return Cast(a[0], ParseType(ToText(a[1]), false), -1, false); }

Value ConvertFn(const Args& a) {
  if (a[0].is_null() || a[1].is_null()) return Value{};
  int64_t style = a.size() > 2 && !a[2].is_null() ? ToInt(a[2]) : -1;
  return Cast(a[1], ParseType(ToText(a[0]), false), style, false);
}

// A binary variable's value comes back from its Variant as "0x" and hexadecimal: the bytes again.
Value BinaryParam(const Args& a) {
  const Value& v = a[0];
  if (v.kind != Value::kText || v.s.size() < 2 || v.s[0] != '0' || (v.s[1] != 'x' && v.s[1] != 'X')) {
    return v;
  }
  std::string bytes;
  std::string digits = v.s.substr(2);
  if (digits.size() % 2 != 0) digits.insert(0, "0");
  for (size_t i = 0; i < digits.size(); i += 2) {
    auto nibble = [](char c) -> int {
      return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    int hi = nibble(digits[i]), lo = nibble(digits[i + 1]);
    if (hi < 0 || lo < 0) return v;
    bytes += static_cast<char>(hi << 4 | lo);
  }
  return Value::Blob(std::move(bytes));
}

// tsql_date_text(value, style or -1, source type): see TypedDateText.
Value DateTextFn(const Args& a) {
  if (a[0].is_null()) return Value{};
  return Value::Text(TypedDateText(a[0], a[1].is_null() ? -1 : ToInt(a[1]), ToText(a[2])));
}

// Only a conversion's own failure becomes NULL; the type text is the statement's, so an error
// there (a length past 8000) still ends it.
Value TryCastFn(const Args& a) {
  TypeRef t = ParseType(ToText(a[1]), false);
  try {
    return Cast(a[0], t, -1, false);
  } catch (const SqlError&) {
    return Value{};
  }
}

Value TryConvertFn(const Args& a) {
  if (a[0].is_null() || a[1].is_null()) return Value{};
  TypeRef t = ParseType(ToText(a[0]), false);
  try {
    return Cast(a[1], t, a.size() > 2 && !a[2].is_null() ? ToInt(a[2]) : -1, false);
  } catch (const SqlError&) {
    return Value{};
  }
}

Value StoreFn(const Args& a) { return Cast(a[0], ParseType(ToText(a[1]), true), -1, true); }

Value StoreDecimal(const Args& a) {
  int64_t p = ToInt(a[1]), s = ToInt(a[2]);
  if (p < 1 || p > 38 || s < 0 || s > p) {
    Fail(2750, "Column or parameter has specified a precision or scale that is out of range.");
  }
  return ToDecimal(a[0], static_cast<int>(p), static_cast<int>(s));
}

Value StoreInt(const Args& a) {
  TypeRef t;
  t.kind = TypeRef::kInteger;
  t.name = "int";
  t.min = INT32_MIN;
  t.max = INT32_MAX;
  return ToInteger(a[0], t);
}

Value CheckLen(const Args& a) {
  if (a[0].kind != Value::kText) {
    if (a[0].is_null()) return a[0];
    if (CharCount(ToText(a[0])) > static_cast<size_t>(std::max<int64_t>(ToInt(a[1]), 0))) {
      Fail(8152, "String or binary data would be truncated.");
    }
    return a[0];
  }
  TypeRef t;
  t.kind = TypeRef::kText;
  t.length = ToInt(a[1]);
  if (t.length < 0) return a[0];  // max
  return Value::Text(FitText(a[0].s, t, true));
}

}  // namespace

Value CastToType(const Value& v, std::string_view type_text) {
  return Cast(v, ParseType(type_text, false), -1, false);
}

void RegisterConvertFunctions(sqlite3* db) {
  AddScalar(db, "tsql_cast", 2, 2, CastFn, false);
  AddScalar(db, "tsql_convert", 2, 3, ConvertFn, false);
  AddScalar(db, "tsql_try_cast", 2, 2, TryCastFn, false);
  AddScalar(db, "tsql_date_text", 3, 3, DateTextFn, false);
  AddScalar(db, "tsql_binary_param", 1, 1, BinaryParam);
  AddScalar(db, "tsql_try_convert", 2, 3, TryConvertFn, false);
  AddScalar(db, "tsql_store", 2, 2, StoreFn, false);
  AddScalar(db, "tsql_store_decimal", 3, 3, StoreDecimal);
  AddScalar(db, "tsql_store_int", 1, 1, StoreInt);
  AddScalar(db, "tsql_check_len", 2, 2, CheckLen, false);
}

}  // namespace rt

namespace {

rt::Value FromVariant(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return rt::Value{};
    case VarType::kBoolean:
      return rt::Value::Int(v.bool_value() ? 1 : 0);
    case VarType::kInteger:
      return rt::Value::Int(v.int_value());
    case VarType::kLong:
      return rt::Value::Int(v.long_value());
    case VarType::kLongLong:
      return rt::Value::Int(v.longlong_value());
    case VarType::kDouble:
      return rt::Value::Real(v.double_value());
    case VarType::kDate: {
      // The platform counts days from 1899-12-30, two days before 1900-01-01.
      double days = v.date_value().serial - 2;
      return rt::Value::Text(rt::FormatDateTime(
          rt::DateTime{static_cast<int64_t>(std::llround(days * rt::kMsPerDay))}));
    }
    case VarType::kString:
      return rt::Value::Text(v.string_value());
    case VarType::kObject:
      break;
  }
  throw ComError(err::kTypeMismatch, kErrorSource, "Type mismatch: an object is no SQL value.");
}

}  // namespace

Variant ConvertValue(const Variant& v, std::string_view type_text, bool store) {
  try {
    rt::TypeRef type = rt::ParseType(type_text, store);
    rt::Value in = FromVariant(v);
    // Binary reached the Variant as "0x" and hexadecimal (see sqlite_db.cc): the bytes again.
    if (type.kind == rt::TypeRef::kBinary) in = rt::BinaryParam({in});
    rt::Value r = rt::Cast(in, type, -1, store);
    switch (r.kind) {
      case rt::Value::kNull:
        return Variant::Null();
      case rt::Value::kInt:
        if (r.i >= INT32_MIN && r.i <= INT32_MAX) return Variant(static_cast<int32_t>(r.i));
        return Variant(r.i);
      case rt::Value::kReal:
        return Variant(r.r);
      case rt::Value::kText:
        return Variant(std::move(r.s));
      case rt::Value::kBlob:
        return Variant(rt::HexBytes(r.s, true));
    }
  } catch (const rt::SqlError& e) {
    throw ComError(e.number, kErrorSource, e.message);
  }
  return Variant::Null();
}

}  // namespace ambit::tsql
