#include "tsql/corpus_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>

namespace ambit::corpus {
namespace {

constexpr std::string_view kEmptyText = "(empty)";
constexpr std::string_view kNullText = "NULL";
constexpr std::string_view kResultSeparator = "====";

std::string Where(std::string_view file, int line) {
  return std::string(file) + ":" + std::to_string(line) + ": ";
}

std::vector<std::string_view> SplitWords(std::string_view s) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

// Everything after the first `n` words, blanks around it removed.
std::string_view RestAfterWords(std::string_view s, size_t n) {
  size_t i = 0;
  for (size_t w = 0; w < n; ++w) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
  }
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  size_t end = s.size();
  while (end > i && (s[end - 1] == ' ' || s[end - 1] == '\t')) --end;
  return s.substr(i, end - i);
}

bool IsBlank(std::string_view s) {
  return s.find_first_not_of(" \t") == std::string_view::npos;
}

std::optional<int64_t> ParseInt(std::string_view s) {
  int64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

std::optional<double> ParseNumber(std::string_view s) {
  if (s.empty()) return std::nullopt;
  std::string copy(s);
  char* end = nullptr;
  double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return v;
}

// Values of an expected row: separated by tabs when the line has any, else by " | ". A
// single-column result takes the whole line, so a text may itself contain " | ".
TextRow SplitRow(std::string_view line, int column_count) {
  if (column_count == 1) return {std::string(line)};
  std::string_view sep = line.find('\t') != std::string_view::npos ? "\t" : " | ";
  TextRow row;
  size_t start = 0;
  while (true) {
    size_t at = line.find(sep, start);
    if (at == std::string_view::npos) {
      row.emplace_back(line.substr(start));
      return row;
    }
    row.emplace_back(line.substr(start, at - start));
    start = at + sep.size();
  }
}

void ParseQueryHeader(const std::vector<std::string_view>& words, Record& r,
                      std::string_view file, int line) {
  if (words.size() < 2) throw FormatError(Where(file, line) + "query needs its columns");
  std::string_view column_letters = words[1];
  if (auto n = ParseInt(column_letters)) {
    if (*n < 1) throw FormatError(Where(file, line) + "query needs at least one column");
    r.column_count = static_cast<int>(*n);
  } else {
    for (char c : column_letters) {
      if (std::string_view("ITRD").find(c) == std::string_view::npos) {
        throw FormatError(Where(file, line) + "unknown column type letter '" + c +
                          "' (use I, T, R or D)");
      }
    }
    r.column_types = std::string(column_letters);
    r.column_count = static_cast<int>(column_letters.size());
  }
  for (size_t i = 2; i < words.size(); ++i) {
    if (words[i] != "rowsort") {
      throw FormatError(Where(file, line) + "unknown query option '" + std::string(words[i]) +
                        "'");
    }
    r.rowsort = true;
  }
}

// Text form used both for sorting rows and for showing them in a failure.
std::string CanonicalText(std::string_view text, char type) {
  if (type == 'R') {
    if (auto d = ParseNumber(text)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.10g", *d);
      return buf;
    }
  }
  if (type == 'D' && text.size() > 4 && text.substr(text.size() - 4) == ".000") {
    return std::string(text.substr(0, text.size() - 4));
  }
  return std::string(text);
}

char TypeOf(const Record& r, size_t set, size_t column) {
  if (set != 0 || column >= r.column_types.size()) return '?';
  return r.column_types[column];
}

bool IsIntegerVariant(const Variant& v) {
  switch (v.type()) {
    case VarType::kBoolean:
    case VarType::kInteger:
    case VarType::kLong:
    case VarType::kLongLong:
      return true;
    default:
      return false;
  }
}

std::optional<double> NumericValue(const Variant& v) {
  switch (v.type()) {
    case VarType::kBoolean: return v.bool_value() ? 1.0 : 0.0;
    case VarType::kInteger: return v.int_value();
    case VarType::kLong: return v.long_value();
    case VarType::kLongLong: return static_cast<double>(v.longlong_value());
    case VarType::kDouble: return v.double_value();
    default: return std::nullopt;
  }
}

bool NearlyEqual(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max({1.0, std::fabs(a), std::fabs(b)});
}

// Empty when the value matches; otherwise why not.
std::string MatchValue(std::string_view expected, const Variant& actual, char type) {
  if (actual.IsNull() || actual.IsEmpty()) {
    return expected == kNullText ? "" : "got NULL";
  }
  if (expected == kNullText) return "expected NULL";
  std::string text = RenderValue(actual);
  switch (type) {
    case 'I':
      if (!IsIntegerVariant(actual)) return "expected an integer, got " + text + " (not integer)";
      return expected == text ? "" : "differs";
    case 'R': {
      auto a = NumericValue(actual);
      auto e = ParseNumber(expected);
      if (!a) return "expected a number, got text '" + text + "'";
      if (!e) return "expected value is no number";
      return NearlyEqual(*a, *e) ? "" : "differs";
    }
    case 'T':
      if (!actual.IsString()) return "expected text, got the number/date " + text;
      return expected == text ? "" : "differs";
    case 'D':
      if (!actual.IsString() && actual.type() != VarType::kDate) {
        return "expected a date, got " + text;
      }
      return CanonicalText(expected, 'D') == CanonicalText(text, 'D') ? "" : "differs";
    default: {
      // No declared type: numbers compare as numbers, everything else as text.
      auto a = NumericValue(actual);
      auto e = ParseNumber(expected);
      if (a && e) return NearlyEqual(*a, *e) ? "" : "differs";
      return expected == text ? "" : "differs";
    }
  }
}

std::string RowKey(const TextRow& row, const Record& r, size_t set) {
  std::string key;
  for (size_t c = 0; c < row.size(); ++c) {
    if (c) key += '\x1f';
    key += CanonicalText(row[c], TypeOf(r, set, c));
  }
  return key;
}

std::string ShowRows(const TextResult& rows) {
  if (rows.empty()) return "    (no rows)\n";
  std::string out;
  for (const TextRow& row : rows) {
    out += "    ";
    for (size_t c = 0; c < row.size(); ++c) {
      out += (c ? " | " : "") + (row[c].empty() ? std::string(kEmptyText) : row[c]);
    }
    out += '\n';
  }
  return out;
}

void AppendCivilDate(std::string& out, int64_t days_since_epoch, int64_t ms_of_day) {
  // Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
  int64_t z = days_since_epoch + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[128];
  int64_t secs = ms_of_day / 1000;
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                static_cast<long long>(secs % 60));
  out += buf;
  if (ms_of_day % 1000 != 0) {
    std::snprintf(buf, sizeof buf, ".%03lld", static_cast<long long>(ms_of_day % 1000));
    out += buf;
  }
}

}  // namespace

std::vector<Record> ParseCorpus(std::string_view text, std::string_view file_name) {
  std::vector<std::string_view> lines;
  for (size_t start = 0; start <= text.size();) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view l = text.substr(start, nl - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    lines.push_back(l);
    start = nl + 1;
  }

  std::vector<Record> records;
  std::string pending_skip;
  std::string connection = "default";
  size_t i = 0;
  while (i < lines.size()) {
    std::string_view header = lines[i];
    int line_no = static_cast<int>(i) + 1;
    ++i;
    if (IsBlank(header) || header.front() == '#') continue;

    std::vector<std::string_view> words = SplitWords(header);
    if (words[0] == "skipif") {
      if (words.size() < 3 || words[1] != "ambit") {
        throw FormatError(Where(file_name, line_no) + "write 'skipif ambit <reason>'");
      }
      pending_skip = std::string(RestAfterWords(header, 2));
      continue;
    }
    if (words[0] == "connection") {
      if (words.size() != 2) {
        throw FormatError(Where(file_name, line_no) + "write 'connection <name>'");
      }
      if (!pending_skip.empty()) {
        throw FormatError(Where(file_name, line_no) + "skipif must stand right before a record");
      }
      connection = std::string(words[1]);
      continue;
    }

    Record r;
    r.line = line_no;
    if (words[0] == "statement" && words.size() == 2 && words[1] == "ok") {
      r.kind = RecordKind::kStatementOk;
    } else if (words[0] == "statement" && words.size() >= 2 && words[1] == "error") {
      r.kind = RecordKind::kStatementError;
      auto n = words.size() >= 3 ? ParseInt(words[2]) : std::nullopt;
      if (!n) throw FormatError(Where(file_name, line_no) + "statement error needs a number");
      r.error_number = static_cast<int32_t>(*n);
      r.error_text = std::string(RestAfterWords(header, 3));
    } else if (words[0] == "query") {
      r.kind = RecordKind::kQuery;
      ParseQueryHeader(words, r, file_name, line_no);
    } else {
      throw FormatError(Where(file_name, line_no) + "unknown record '" + std::string(header) +
                        "'");
    }
    r.skip_reason = std::move(pending_skip);
    pending_skip.clear();
    r.connection = connection;

    bool saw_divider = false;
    for (; i < lines.size() && !IsBlank(lines[i]); ++i) {
      if (lines[i] == "----") {
        saw_divider = true;
        ++i;
        break;
      }
      if (!r.sql.empty()) r.sql += '\n';
      r.sql += lines[i];
    }
    if (r.sql.empty()) throw FormatError(Where(file_name, line_no) + "record without a batch");
    if (saw_divider && r.kind != RecordKind::kQuery) {
      throw FormatError(Where(file_name, line_no) + "only a query has '----' and rows");
    }
    if (r.kind == RecordKind::kQuery) {
      if (!saw_divider) {
        throw FormatError(Where(file_name, line_no) + "query without '----' before its rows");
      }
      r.expected.emplace_back();
      for (; i < lines.size() && !IsBlank(lines[i]); ++i) {
        int row_line = static_cast<int>(i) + 1;
        if (lines[i] == kResultSeparator) {
          r.expected.emplace_back();
          continue;
        }
        bool first_set = r.expected.size() == 1;
        TextRow row = SplitRow(lines[i], first_set ? r.column_count : 0);
        if (first_set && static_cast<int>(row.size()) != r.column_count) {
          throw FormatError(Where(file_name, row_line) + "row has " +
                            std::to_string(row.size()) + " values, the query " +
                            std::to_string(r.column_count));
        }
        for (std::string& v : row) {
          if (v == kEmptyText) v.clear();
        }
        r.expected.back().push_back(std::move(row));
      }
    }
    records.push_back(std::move(r));
  }
  if (!pending_skip.empty()) {
    throw FormatError(Where(file_name, static_cast<int>(lines.size())) +
                      "skipif at the end of the file skips nothing");
  }
  return records;
}

std::vector<std::string> ConnectionNames(const std::vector<Record>& records) {
  std::vector<std::string> names;
  for (const Record& r : records) {
    if (std::find(names.begin(), names.end(), r.connection) == names.end()) {
      names.push_back(r.connection);
    }
  }
  return names;
}

std::string RenderValue(const Variant& value) {
  switch (value.type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return std::string(kNullText);
    case VarType::kBoolean: return value.bool_value() ? "1" : "0";
    case VarType::kInteger: return std::to_string(value.int_value());
    case VarType::kLong: return std::to_string(value.long_value());
    case VarType::kLongLong: return std::to_string(value.longlong_value());
    case VarType::kDouble: {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.15g", value.double_value());
      return buf;
    }
    case VarType::kDate: {
      double serial = value.date_value().serial;
      double whole = std::trunc(serial);
      auto ms = static_cast<int64_t>(std::llround(std::fabs(serial - whole) * 86400000.0));
      std::string out;
      AppendCivilDate(out, static_cast<int64_t>(whole) - 25569, ms);
      return out;
    }
    case VarType::kString: return value.string_value();
    case VarType::kObject: return "(object)";
  }
  return "?";
}

std::string CompareQuery(const Record& record, const std::vector<ActualResult>& actual) {
  std::ostringstream why;
  std::vector<TextResult> shown(actual.size());
  size_t sets = std::max(record.expected.size(), actual.size());
  std::string first_problem;
  for (size_t s = 0; s < sets && first_problem.empty(); ++s) {
    std::string set_name = sets > 1 ? "result set " + std::to_string(s + 1) + ": " : "";
    if (s >= actual.size()) {
      first_problem = set_name + "missing (the batch returned " +
                      std::to_string(actual.size()) + " result sets)";
      break;
    }
    if (s >= record.expected.size()) {
      first_problem = set_name + "not expected";
      break;
    }
    const ActualResult& got = actual[s];
    size_t want_columns =
        s == 0 ? static_cast<size_t>(record.column_count)
               : (record.expected[s].empty() ? got.column_names.size()
                                             : record.expected[s][0].size());
    if (got.column_names.size() != want_columns) {
      first_problem = set_name + std::to_string(got.column_names.size()) +
                      " columns instead of " + std::to_string(want_columns);
      break;
    }
    // Pair rows by position, after sorting both sides by text when asked to.
    std::vector<std::pair<std::string, size_t>> order;
    for (size_t i = 0; i < got.rows.size(); ++i) {
      TextRow row;
      for (const Variant& v : got.rows[i]) row.push_back(RenderValue(v));
      order.emplace_back(RowKey(row, record, s), i);
    }
    TextResult expected = record.expected[s];
    if (record.rowsort) {
      std::stable_sort(order.begin(), order.end());
      std::stable_sort(expected.begin(), expected.end(), [&](const TextRow& a, const TextRow& b) {
        return RowKey(a, record, s) < RowKey(b, record, s);
      });
    }
    for (const auto& [key, i] : order) {
      TextRow row;
      for (const Variant& v : got.rows[i]) row.push_back(RenderValue(v));
      shown[s].push_back(std::move(row));
    }
    if (got.rows.size() != expected.size()) {
      first_problem = set_name + std::to_string(got.rows.size()) + " rows instead of " +
                      std::to_string(expected.size());
      break;
    }
    for (size_t r = 0; r < expected.size() && first_problem.empty(); ++r) {
      const auto& row = got.rows[order[r].second];
      if (row.size() != expected[r].size()) {
        first_problem = set_name + "row " + std::to_string(r + 1) + " has " +
                        std::to_string(row.size()) + " values";
        break;
      }
      for (size_t c = 0; c < row.size(); ++c) {
        std::string problem = MatchValue(expected[r][c], row[c], TypeOf(record, s, c));
        if (!problem.empty()) {
          std::string name = c < got.column_names.size() ? got.column_names[c] : "";
          first_problem = set_name + "row " + std::to_string(r + 1) + ", column " +
                          std::to_string(c + 1) + " (" + name + "): " + problem +
                          " (expected '" + expected[r][c] + "', got '" +
                          RenderValue(row[c]) + "')";
          break;
        }
      }
    }
  }
  if (first_problem.empty()) return "";
  why << first_problem << "\nexpected:\n";
  for (size_t s = 0; s < record.expected.size(); ++s) {
    if (s) why << "    ====\n";
    why << ShowRows(record.expected[s]);
  }
  why << "actual:\n";
  for (size_t s = 0; s < actual.size(); ++s) {
    if (s) why << "    ====\n";
    if (shown[s].empty()) {
      for (const auto& row : actual[s].rows) {
        TextRow t;
        for (const Variant& v : row) t.push_back(RenderValue(v));
        shown[s].push_back(std::move(t));
      }
    }
    why << ShowRows(shown[s]);
  }
  return why.str();
}

}  // namespace ambit::corpus
