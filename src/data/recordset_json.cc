#include "data/recordset_json.h"

#include <cmath>

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit {
namespace {

double RoundToScale(double d, int scale) {
  // Powers of ten are exact doubles up to 1e22; a table spares a pow per cell.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  double f = scale >= 0 && scale <= 22 ? kPowers[scale] : std::pow(10.0, scale);
  return std::round(d * f) / f;
}

[[noreturn]] void RaiseNotScalar(const Variant& v) {
  throw ComError(err::kTypeMismatch, "ambit-order",
                 "A " + std::string(v.object_value() ? v.object_value()->TypeName() : "Nothing") +
                     " object has no scalar JSON form.");
}

bool IsDecimal(DataType t) { return t == DataType::kDecimal || t == DataType::kNumeric; }

void WriteColumns(const Recordset& rs, JsonText& out, int depth) {
  out.Key("columns");
  out.Char('[');
  bool first = true;
  for (const FieldInfo& f : rs.fields()) {
    if (!first) out.Char(',');
    first = false;
    out.NewLine(depth + 1);
    out.Raw("{\"name\":");
    out.String(f.name);
    out.Raw(",\"type\":");
    out.String(DataTypeName(f.type));
    if (f.defined_size > 0 && IsTextType(f.type)) {
      out.Raw(",\"size\":");
      out.Int(f.defined_size);
    }
    if (IsDecimal(f.type)) {
      out.Raw(",\"precision\":");
      out.Int(f.precision);
      out.Raw(",\"scale\":");
      out.Int(f.scale);
    }
    out.Char('}');
  }
  out.Char(']');
}

void WriteCell(const Variant& v, const FieldInfo& f, JsonText& out) {
  if (IsDecimal(f.type) && v.IsNumber()) {
    out.Double(RoundToScale(CDbl(v), f.scale));
  } else if (f.type == DataType::kDate && v.IsString()) {
    // Backends that keep dates as text still show the one date form; most already hold it.
    if (IsFormattedDate(v.string_value())) return out.String(v.string_value());
    auto d = ParseDate(v.string_value());
    out.String(d ? FormatDate(*d) : v.string_value());
  } else {
    WriteScalarJson(v, out);
  }
}

}  // namespace

nlohmann::ordered_json ScalarToJson(const Variant& v) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull: return nullptr;
    case VarType::kBoolean: return v.bool_value();
    case VarType::kInteger: return v.int_value();
    case VarType::kLong: return v.long_value();
    case VarType::kLongLong: return v.longlong_value();
    case VarType::kDouble: return v.double_value();
    case VarType::kDate: return FormatDate(v.date_value());
    case VarType::kString: return v.string_value();
    case VarType::kObject: RaiseNotScalar(v);
  }
  return nullptr;
}

void WriteScalarJson(const Variant& v, JsonText& out) {
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull: return out.Null();
    case VarType::kBoolean: return out.Bool(v.bool_value());
    case VarType::kInteger: return out.Int(v.int_value());
    case VarType::kLong: return out.Int(v.long_value());
    case VarType::kLongLong: return out.Int(v.longlong_value());
    case VarType::kDouble: return out.Double(v.double_value());
    case VarType::kDate: return out.String(FormatDate(v.date_value()));
    case VarType::kString: return out.String(v.string_value());
    case VarType::kObject: RaiseNotScalar(v);
  }
}

void WriteRecordsetJson(const Recordset& rs, JsonText& out, int depth) {
  if (!rs.IsOpen()) {
    out.Raw("{\"closed\":true,\"recordsAffected\":");
    out.Int(rs.records_affected());
    out.Char('}');
    return;
  }
  out.Char('{');
  out.NewLine(depth + 1);
  WriteColumns(rs, out, depth + 1);
  out.Char(',');
  out.NewLine(depth + 1);
  out.Key("rows");
  out.Char('[');
  const std::vector<FieldInfo>& fields = rs.fields();
  bool first = true;
  for (const Recordset::Row* row : rs.VisibleRows()) {
    if (out.failed()) return;  // the reader went away: the rest would go nowhere
    if (!first) out.Char(',');
    first = false;
    out.NewLine(depth + 2);
    out.Char('[');
    for (size_t i = 0; i < row->size(); ++i) {
      if (i) out.Char(',');
      WriteCell((*row)[i], fields[i], out);
    }
    out.Char(']');
    out.MaybeFlush();
  }
  if (!first) out.NewLine(depth + 1);
  out.Char(']');
  out.NewLine(depth);
  out.Char('}');
}

nlohmann::ordered_json RecordsetToJson(const Recordset& rs) {
  JsonText text;
  WriteRecordsetJson(rs, text);
  return nlohmann::ordered_json::parse(text.text());
}

}  // namespace ambit
