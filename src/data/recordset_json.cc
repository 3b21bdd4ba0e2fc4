#include "data/recordset_json.h"

#include <cmath>

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit {
namespace {

double RoundToScale(double d, int scale) {
  double f = std::pow(10.0, scale);
  return std::round(d * f) / f;
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
    case VarType::kObject:
      throw ComError(err::kTypeMismatch, "ambit-order",
                     "A " + std::string(v.object_value() ? v.object_value()->TypeName() : "Nothing") +
                         " object has no scalar JSON form.");
  }
  return nullptr;
}

nlohmann::ordered_json RecordsetToJson(const Recordset& rs) {
  if (!rs.IsOpen()) return {{"closed", true}, {"recordsAffected", rs.records_affected()}};
  nlohmann::ordered_json columns = nlohmann::ordered_json::array();
  for (const FieldInfo& f : rs.fields()) {
    nlohmann::ordered_json c = {{"name", f.name}, {"type", DataTypeName(f.type)}};
    if (f.defined_size > 0 && IsTextType(f.type)) c["size"] = f.defined_size;
    if (f.type == DataType::kDecimal || f.type == DataType::kNumeric) {
      c["precision"] = f.precision;
      c["scale"] = f.scale;
    }
    columns.push_back(std::move(c));
  }
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const Recordset::Row* row : rs.VisibleRows()) {
    nlohmann::ordered_json r = nlohmann::ordered_json::array();
    for (size_t i = 0; i < row->size(); ++i) {
      const Variant& v = (*row)[i];
      const FieldInfo& f = rs.fields()[i];
      if ((f.type == DataType::kDecimal || f.type == DataType::kNumeric) && v.IsNumber()) {
        r.push_back(RoundToScale(CDbl(v), f.scale));
      } else if (f.type == DataType::kDate && v.IsString()) {
        // Backends that keep dates as text still show the one date form.
        auto d = ParseDate(v.string_value());
        r.push_back(d ? nlohmann::ordered_json(FormatDate(*d)) : nlohmann::ordered_json(v.string_value()));
      } else {
        r.push_back(ScalarToJson(v));
      }
    }
    rows.push_back(std::move(r));
  }
  return {{"columns", std::move(columns)}, {"rows", std::move(rows)}};
}

}  // namespace ambit
