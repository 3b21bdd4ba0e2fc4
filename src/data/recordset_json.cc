#include "data/recordset_json.h"

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit {
namespace {

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

// What a column's cells need beyond their value's own form, settled once per column.
enum class CellForm : uint8_t { kScalar, kDecimal, kDate };

CellForm FormOf(const FieldInfo& f) {
  if (IsDecimal(f.type)) return CellForm::kDecimal;
  return f.type == DataType::kDate ? CellForm::kDate : CellForm::kScalar;
}

void WriteCell(const Variant& v, const FieldInfo& f, CellForm form, JsonText& out) {
  // The common subtypes here, without a call per cell; the rest as any scalar.
  switch (v.type()) {
    case VarType::kEmpty:
    case VarType::kNull: return out.Null();
    case VarType::kLong:
      if (form == CellForm::kDecimal) return out.Decimal(v.long_value(), f.scale);
      return out.Int(v.long_value());
    case VarType::kDouble:
      if (form == CellForm::kDecimal) return out.Decimal(v.double_value(), f.scale);
      return out.Double(v.double_value());
    case VarType::kString: {
      const std::string& s = v.string_value();
      // Backends that keep dates as text still show the one date form; most already hold it.
      if (form != CellForm::kDate || IsFormattedDate(s)) return out.String(s);
      auto d = ParseDate(s);
      return out.String(d ? FormatDate(*d) : s);
    }
    default:
      if (form == CellForm::kDecimal && v.IsNumber()) return out.Decimal(CDbl(v), f.scale);
      return WriteScalarJson(v, out);
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
  std::vector<CellForm> forms;
  forms.reserve(fields.size());
  for (const FieldInfo& f : fields) forms.push_back(FormOf(f));
  bool first = true;
  for (const Recordset::Row* row : rs.VisibleRows()) {
    if (out.failed()) return;  // the reader went away: the rest would go nowhere
    if (!first) out.Char(',');
    first = false;
    out.NewLine(depth + 2);
    out.Char('[');
    const Variant* cells = row->data();
    for (size_t i = 0, n = row->size(); i < n; ++i) {
      if (i) out.Char(',');
      WriteCell(cells[i], fields[i], forms[i], out);
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
