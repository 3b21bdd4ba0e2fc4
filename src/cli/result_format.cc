#include "cli/result_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/conversions.h"
#include "cli/display_width.h"
#include "data/recordset_json.h"

namespace ambit::cli {
namespace {

bool HasScale(const FieldInfo& f) {
  return (f.type == DataType::kDecimal || f.type == DataType::kNumeric ||
          f.type == DataType::kCurrency) &&
         f.scale > 0;
}

bool RightAligned(const FieldInfo& f) {
  return IsNumericType(f.type) && f.type != DataType::kBoolean;
}

void Pad(std::string& out, size_t n) { out.append(n, ' '); }

}  // namespace

std::string FormatCell(const Variant& value, const FieldInfo& field) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return "NULL";
    case VarType::kBoolean:
      return value.bool_value() ? "1" : "0";
    case VarType::kDouble:
      if (HasScale(field)) {
        // Half away from zero, as the column stored it; printf alone would round half to even.
        double f = std::pow(10.0, field.scale);
        double rounded = std::round(value.double_value() * f) / f;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(field.scale), rounded);
        return buf;
      }
      return FormatNumber(value.double_value());
    case VarType::kDate:
      return FormatDate(value.date_value());
    case VarType::kString: {
      std::string s = value.string_value();
      std::replace_if(s.begin(), s.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
                      ' ');
      return s;
    }
    case VarType::kObject:
      return "(object)";
    default:
      return CStr(value);
  }
}

std::string RowsAffected(int64_t n) {
  return "(" + std::to_string(n) + (n == 1 ? " row affected)" : " rows affected)");
}

std::string AlignColumns(const std::vector<std::string>& header,
                         const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right, std::string_view gap) {
  std::vector<size_t> widths;
  for (const std::string& name : header) widths.push_back(DisplayWidth(name));
  for (const auto& line : rows)
    for (size_t c = 0; c < line.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], DisplayWidth(line[c]));
  std::string out;
  auto emit = [&](const std::vector<std::string>& values, bool is_row) {
    std::string line;
    for (size_t c = 0; c < values.size() && c < widths.size(); ++c) {
      if (c) line += gap;
      size_t pad = widths[c] - DisplayWidth(values[c]);
      bool right_aligned = is_row && c < right.size() && right[c];
      if (right_aligned) Pad(line, pad);
      line += values[c];
      if (!right_aligned) Pad(line, pad);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  };
  emit(header, false);
  std::vector<std::string> rules;
  for (size_t w : widths) rules.emplace_back(w, '-');
  emit(rules, false);
  for (const auto& line : rows) emit(line, true);
  return out;
}

std::string FormatTable(const Recordset& rs) {
  const std::vector<FieldInfo>& fields = rs.fields();
  std::vector<const Recordset::Row*> rows = rs.VisibleRows();
  std::vector<std::string> names;
  std::vector<bool> right;
  for (const FieldInfo& f : fields) {
    names.push_back(f.name);
    right.push_back(RightAligned(f));
  }
  std::vector<std::vector<std::string>> cells;
  for (const Recordset::Row* row : rows) {
    std::vector<std::string>& line = cells.emplace_back();
    for (size_t c = 0; c < fields.size(); ++c)
      line.push_back(c < row->size() ? FormatCell((*row)[c], fields[c]) : "");
  }
  return AlignColumns(names, cells, right, "  ") + "\n" +
         RowsAffected(static_cast<int64_t>(rows.size())) + "\n";
}

std::string FormatVertical(const Recordset& rs) {
  const std::vector<FieldInfo>& fields = rs.fields();
  std::vector<const Recordset::Row*> rows = rs.VisibleRows();
  size_t name_width = 0;
  for (const FieldInfo& f : fields) name_width = std::max(name_width, DisplayWidth(f.name));
  std::string out;
  size_t n = 0;
  for (const Recordset::Row* row : rows) {
    out += "-[ row " + std::to_string(++n) + " ]" + std::string(std::max<size_t>(name_width, 8), '-') +
           "\n";
    for (size_t c = 0; c < fields.size(); ++c) {
      out += fields[c].name;
      Pad(out, name_width - DisplayWidth(fields[c].name));
      out += " | " + (c < row->size() ? FormatCell((*row)[c], fields[c]) : std::string()) + "\n";
    }
  }
  out += "\n" + RowsAffected(static_cast<int64_t>(rows.size())) + "\n";
  return out;
}

std::string FormatResult(const Recordset& rs, VerticalMode mode, size_t terminal_width) {
  if (mode == VerticalMode::kOn) return FormatVertical(rs);
  std::string table = FormatTable(rs);
  if (mode == VerticalMode::kOff || terminal_width == 0) return table;
  // The rule under the header spans the whole table.
  size_t rule_start = table.find('\n') + 1;
  size_t rule_end = table.find('\n', rule_start);
  return rule_end - rule_start > terminal_width ? FormatVertical(rs) : table;
}

std::string FormatJson(const Recordset& rs) { return RecordsetToJson(rs).dump(); }

}  // namespace ambit::cli
