// Arithmetic operators and numeric functions: the operand types decide what an operator does,
// as they do in SQL Server, instead of SQLite's affinity.
#include <algorithm>
#include <cmath>
#include <string>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {

Value TextAsNumber(const Value& text, Value::Kind number_kind) {
  if (number_kind == Value::kInt) {
    int64_t v;
    if (!ParseIntegerText(text.s, &v)) FailConversion(text.s, "int");
    return Value::Int(v);
  }
  double d;
  if (!ParseDecimalText(text.s, true, &d))
    Fail(8114, "Error converting data type varchar to numeric.");
  return Value::Real(d);
}

namespace {

enum class Op { kAdd, kSub, kMul, kDiv, kMod };

const char* OpName(Op op) {
  switch (op) {
    case Op::kAdd:
      return "add";
    case Op::kSub:
      return "subtract";
    case Op::kMul:
      return "multiply";
    case Op::kDiv:
      return "divide";
    case Op::kMod:
      return "modulo";
  }
  return "";
}

[[noreturn]] void FailOverflow() {
  Fail(8115, "Arithmetic overflow error converting expression to data type bigint.");
}

[[noreturn]] void FailDivideByZero() { Fail(8134, "Divide by zero error encountered."); }

bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

Value IntOp(Op op, int64_t a, int64_t b) {
  int64_t r = 0;
  switch (op) {
    case Op::kAdd:
      if (__builtin_add_overflow(a, b, &r)) FailOverflow();
      return Value::Int(r);
    case Op::kSub:
      if (__builtin_sub_overflow(a, b, &r)) FailOverflow();
      return Value::Int(r);
    case Op::kMul:
      if (__builtin_mul_overflow(a, b, &r)) FailOverflow();
      return Value::Int(r);
    case Op::kDiv:
      if (b == 0) FailDivideByZero();
      if (a == INT64_MIN && b == -1) FailOverflow();
      return Value::Int(a / b);
    case Op::kMod:
      if (b == 0) FailDivideByZero();
      if (b == -1) return Value::Int(0);
      return Value::Int(a % b);
  }
  return Value{};
}

Value RealOp(Op op, double a, double b) {
  switch (op) {
    case Op::kAdd:
      return Value::Real(a + b);
    case Op::kSub:
      return Value::Real(a - b);
    case Op::kMul:
      return Value::Real(a * b);
    case Op::kDiv:
      if (b == 0) FailDivideByZero();
      return Value::Real(a / b);
    case Op::kMod:
      if (b == 0) FailDivideByZero();
      return Value::Real(std::fmod(a, b));
  }
  return Value{};
}

Value AddDays(DateTime t, double days) {
  if (!(std::fabs(days) < 4e6))
    Fail(517, "Adding a value to a 'datetime' column caused an overflow.");
  return DateResult(DateTime{t.ms + std::llround(days * kMsPerDay)});
}

Value Arith(Op op, const Args& args) {
  Value a = args[0], b = args[1];
  if (a.kind == Value::kBlob || b.kind == Value::kBlob) {
    // Binary + binary joins the bytes; with text, the binary side reads as characters (text
    // ranks above binary); with a number it is an int.
    if (op == Op::kAdd && a.kind == Value::kBlob && b.kind == Value::kBlob) {
      return Value::Blob(a.s + b.s);
    }
    if (op == Op::kAdd && (a.kind == Value::kText || b.kind == Value::kText)) {
      return Value::Text(a.s + b.s);
    }
    a = BlobAsNumber(a);
    b = BlobAsNumber(b);
  }
  if (a.kind == Value::kText && b.kind == Value::kText) {
    if (op == Op::kAdd) return Value::Text(a.s + b.s);
    Fail(8117,
         std::string("Operand data type varchar is invalid for ") + OpName(op) + " operator.");
  }
  // A date column's value plus or minus a number moves it by days (GETDATE() - 7).
  if ((op == Op::kAdd || op == Op::kSub) && a.kind == Value::kText && IsCanonicalDateText(a.s)) {
    return AddDays(ToDateTime(a), op == Op::kAdd ? ToReal(b) : -ToReal(b));
  }
  if (op == Op::kAdd && b.kind == Value::kText && IsCanonicalDateText(b.s)) {
    return AddDays(ToDateTime(b), ToReal(a));
  }
  if (a.kind == Value::kText) a = TextAsNumber(a, b.kind);
  if (b.kind == Value::kText) b = TextAsNumber(b, a.kind);
  if (a.kind == Value::kInt && b.kind == Value::kInt) {
    Value r = IntOp(op, a.i, b.i);
    // Two int operands make an int result in SQL Server: leaving 32 bits is an overflow there,
    // even though the bigint it would fit in is what SQLite holds.
    if (FitsInt32(a.i) && FitsInt32(b.i) && !FitsInt32(r.i)) {
      Fail(8115, "Arithmetic overflow error converting expression to data type int.");
    }
    return r;
  }
  return RealOp(op, a.AsDouble(), b.AsDouble());
}

// The result of SQLite's own + - * on two bigint operands: SQLite answers a value past 64 bits
// in floating point, where SQL Server overflows.
Value CheckedBigint(const Args& a) {
  if (a[0].kind == Value::kReal) FailOverflow();
  return a[0];
}

Value Add(const Args& a) { return Arith(Op::kAdd, a); }
Value Sub(const Args& a) { return Arith(Op::kSub, a); }
Value Mul(const Args& a) { return Arith(Op::kMul, a); }
Value Div(const Args& a) { return Arith(Op::kDiv, a); }
Value Mod(const Args& a) { return Arith(Op::kMod, a); }

// A lone text operand of a numeric function is read as float, as SQL Server does.
Value AsNumber(const Value& v) { return v.kind == Value::kText ? Value::Real(ToReal(v)) : v; }

Value Neg(const Args& a) {
  Value v = AsNumber(a[0]);
  if (v.kind == Value::kInt) {
    if (v.i == INT64_MIN) FailOverflow();
    return Value::Int(-v.i);
  }
  return Value::Real(-v.r);
}

Value BitXor(const Args& a) { return Value::Int(ToInt(a[0]) ^ ToInt(a[1])); }

Value Abs(const Args& a) {
  Value v = AsNumber(a[0]);
  if (v.kind == Value::kInt) {
    if (v.i == INT64_MIN) FailOverflow();
    return Value::Int(v.i < 0 ? -v.i : v.i);
  }
  return Value::Real(std::fabs(v.r));
}

Value Sign(const Args& a) {
  Value v = AsNumber(a[0]);
  double d = v.AsDouble();
  int s = d > 0 ? 1 : d < 0 ? -1 : 0;
  return v.kind == Value::kInt ? Value::Int(s) : Value::Real(s);
}

Value Floor(const Args& a) {
  Value v = AsNumber(a[0]);
  return v.kind == Value::kInt ? v : Value::Real(std::floor(v.r));
}

Value Ceiling(const Args& a) {
  Value v = AsNumber(a[0]);
  return v.kind == Value::kInt ? v : Value::Real(std::ceil(v.r));
}

Value Power(const Args& a) {
  Value x = AsNumber(a[0]);
  double r = std::pow(x.AsDouble(), ToReal(a[1]));
  if (!std::isfinite(r)) Fail(232, "Arithmetic overflow error for type float.");
  // POWER keeps the type of its first argument.
  if (x.kind == Value::kInt) {
    if (!(std::fabs(r) < 9.2e18)) FailOverflow();
    return Value::Int(static_cast<int64_t>(std::trunc(r)));
  }
  return Value::Real(r);
}

Value Sqrt(const Args& a) {
  double x = ToReal(a[0]);
  if (x < 0) Fail(3623, "An invalid floating point operation occurred.");
  return Value::Real(std::sqrt(x));
}

Value Round(const Args& a) {
  if (a[0].is_null() || a[1].is_null()) return Value{};
  Value x = AsNumber(a[0]);
  int64_t places = ToInt(a[1]);
  bool truncate = a.size() > 2 && !a[2].is_null() && ToInt(a[2]) != 0;
  if (x.kind == Value::kInt) {
    if (places >= 0) return x;
    if (places < -18) return Value::Int(0);
    int64_t unit = 1;
    for (int64_t k = 0; k < -places; ++k) unit *= 10;
    int64_t kept = x.i / unit * unit;
    int64_t rest = x.i - kept;
    if (!truncate && 2 * (rest < 0 ? -rest : rest) >= unit) {
      int64_t step = rest > 0 ? unit : -unit;
      if (__builtin_add_overflow(kept, step, &kept)) FailOverflow();
    }
    return Value::Int(kept);
  }
  return Value::Real(
      RoundDecimal(x.r, static_cast<int>(std::clamp<int64_t>(places, -300, 300)), truncate));
}

// ISNUMERIC's own idea of a number: currency sign, thousands separators anywhere, an exponent,
// and even a lone sign count.
bool LooksNumeric(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  if (s.empty()) return false;
  size_t i = 0;
  bool sign = false, currency = false;
  while (i < s.size()) {
    if ((s[i] == '+' || s[i] == '-') && !sign) {
      sign = true;
    } else if (s[i] == '$' && !currency) {
      currency = true;
    } else {
      break;
    }
    ++i;
    while (i < s.size() && blank(s[i])) ++i;
  }
  bool digits = false, point = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == ',' && !point) {
      continue;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i == s.size()) return true;
  if ((s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D') && digits) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_start = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i == s.size() && i > exp_start;
  }
  return false;
}

Value IsNumeric(const Args& a) {
  if (a[0].is_null()) return Value::Int(0);
  if (a[0].is_number()) return Value::Int(1);
  return Value::Int(LooksNumeric(a[0].s) ? 1 : 0);
}

// float as SQL Server writes it into text. Style 0: six significant digits, scientific
// notation with a three-digit exponent when %g would use it (1.23457e+006); styles 1, 2 and 3:
// always scientific with 8, 16 and 17 digits.
Value FloatText(const Args& a) {
  double x = AsNumber(a[0]).AsDouble();
  int64_t style = a.size() > 1 && !a[1].is_null() ? ToInt(a[1]) : 0;
  char buf[64];
  if (style == 1 || style == 2 || style == 3) {
    std::snprintf(buf, sizeof buf, "%.*e", style == 1 ? 7 : style == 2 ? 15 : 16, x);
  } else {
    std::snprintf(buf, sizeof buf, "%.6g", x);
  }
  std::string out = buf;
  size_t e = out.find('e');
  if (e != std::string::npos && out.size() - e == 4) out.insert(e + 2, "0");  // e+06 -> e+006
  return Value::Text(out);
}

// money as text: style 0 two places, 1 two places with thousands separators, 2 four places.
Value MoneyText(const Args& a) {
  double x = AsNumber(a[0]).AsDouble();
  int64_t style = a.size() > 1 && !a[1].is_null() ? ToInt(a[1]) : 0;
  int places = style == 2 ? 4 : 2;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", places, RoundDecimal(x, places));
  std::string out = buf;
  if (style == 1) {
    size_t start = out[0] == '-' ? 1 : 0;
    for (size_t i = out.find('.'); i > start + 3; i -= 3) out.insert(i - 3, ",");
  }
  return Value::Text(out);
}

}  // namespace

void RegisterNumberFunctions(sqlite3* db) {
  AddScalar(db, "tsql_float_text", 1, 2, FloatText);
  AddScalar(db, "tsql_money_text", 1, 2, MoneyText);
  AddScalar(db, "tsql_checked_bigint", 1, 1, CheckedBigint);
  AddScalar(db, "tsql_add", 2, 2, Add);
  AddScalar(db, "tsql_sub", 2, 2, Sub);
  AddScalar(db, "tsql_mul", 2, 2, Mul);
  AddScalar(db, "tsql_div", 2, 2, Div);
  AddScalar(db, "tsql_mod", 2, 2, Mod);
  AddScalar(db, "tsql_neg", 1, 1, Neg);
  AddScalar(db, "tsql_bitxor", 2, 2, BitXor);
  AddScalar(db, "tsql_abs", 1, 1, Abs);
  AddScalar(db, "tsql_sign", 1, 1, Sign);
  AddScalar(db, "tsql_floor", 1, 1, Floor);
  AddScalar(db, "tsql_ceiling", 1, 1, Ceiling);
  AddScalar(db, "tsql_power", 2, 2, Power);
  AddScalar(db, "tsql_sqrt", 1, 1, Sqrt);
  AddScalar(db, "tsql_round", 2, 3, Round, false);
  AddScalar(db, "tsql_isnumeric", 1, 1, IsNumeric, false);
}

}  // namespace ambit::tsql::rt
