// JSON functions: ISJSON, JSON_VALUE, JSON_QUERY and the rows of OPENJSON. They read the text
// themselves rather than through SQLite's json1, because SQL Server answers with the value's
// own text (a number 1.50 stays "1.50", true stays "true"), which json1 turns into SQLite
// values. A document that is not JSON raises 13609 wherever the path points.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

constexpr int64_t kMaxValueChars = 4000;  // JSON_VALUE's nvarchar(4000)

enum class Kind { kNull, kString, kNumber, kBool, kArray, kObject };

struct Span {
  Kind kind;
  size_t begin, end;  // the value's bytes, quotes and brackets included
};

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}

  // The whole text as one value; 13609 when it is not JSON.
  Span Document() {
    pos_ = 0;
    depth_ = 0;
    Span v = Value();
    SkipBlanks();
    if (pos_ != s_.size()) Unexpected();
    return v;
  }
  bool Valid() {
    try {
      Document();
      return true;
    } catch (const SqlError&) {
      return false;
    }
  }

  // The members of an object or array: key (object) and value spans, in order; starts, when
  // given, gets where each member begins (its key's quote in an object).
  void Members(const Span& container, std::vector<std::pair<std::string, Span>>* out,
               std::vector<size_t>* starts = nullptr) {
    pos_ = container.begin + 1;
    int index = 0;
    SkipBlanks();
    if (Peek() == '}' || Peek() == ']') return;
    while (true) {
      SkipBlanks();
      if (starts != nullptr) starts->push_back(pos_);
      std::string key;
      if (container.kind == Kind::kObject) {
        size_t start = pos_;
        SkipString();
        key = Unquote(s_.substr(start, pos_ - start));
        SkipBlanks();
        ++pos_;  // ':'
      } else {
        key = std::to_string(index++);
      }
      out->emplace_back(std::move(key), Value());
      SkipBlanks();
      if (s_[pos_++] != ',') return;
    }
  }

  std::string_view Text(const Span& v) const { return s_.substr(v.begin, v.end - v.begin); }

  // A JSON string's characters, escapes resolved.
  static std::string Unquote(std::string_view quoted) {
    std::string out;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
      char c = quoted[i];
      if (c != '\\') {
        out += c;
        continue;
      }
      char e = quoted[++i];
      switch (e) {
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          uint32_t cp = Hex4(quoted.substr(i + 1, 4));
          i += 4;
          if (cp >= 0xD800 && cp < 0xDC00 && i + 6 < quoted.size() && quoted[i + 1] == '\\' &&
              quoted[i + 2] == 'u') {
            uint32_t low = Hex4(quoted.substr(i + 3, 4));
            if (low >= 0xDC00 && low < 0xE000) {
              cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
              i += 6;
            }
          }
          AppendChar(&out, cp);
          break;
        }
        default: out += e;  // " \ /
      }
    }
    return out;
  }

 private:
  static uint32_t Hex4(std::string_view h) {
    uint32_t v = 0;
    for (char c : h) {
      v = v * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
  }

  char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }
  void SkipBlanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' ||
                                s_[pos_] == '\r')) {
      ++pos_;
    }
  }
  [[noreturn]] void Unexpected() const {
    if (pos_ >= s_.size()) {
      Fail(13609, "JSON text is not properly formatted. Unexpected end of input.");
    }
    Fail(13609, "JSON text is not properly formatted. Unexpected character '" +
                    std::string(1, s_[pos_]) + "' is found at position " + std::to_string(pos_) +
                    ".");
  }
  void Expect(char c) {
    if (Peek() != c) Unexpected();
    ++pos_;
  }
  void Word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) Unexpected();
    pos_ += w.size();
  }
  void SkipString() {
    Expect('"');
    while (pos_ < s_.size() && s_[pos_] != '"') {
      if (static_cast<unsigned char>(s_[pos_]) < 0x20) Unexpected();
      if (s_[pos_] == '\\') {
        ++pos_;
        char e = Peek();
        if (e == 'u') {
          for (int i = 1; i <= 4; ++i) {
            char h = pos_ + i < s_.size() ? static_cast<char>(s_[pos_ + i] | 0x20) : '\0';
            if (!((h >= '0' && h <= '9') || (h >= 'a' && h <= 'f'))) Unexpected();
          }
          pos_ += 4;
        } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos || e == 0) {
          Unexpected();
        }
      }
      ++pos_;
    }
    Expect('"');
  }
  void Digits() {
    if (!IsDigit(Peek())) Unexpected();
    while (IsDigit(Peek())) ++pos_;
  }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  Span Value() {
    SkipBlanks();
    size_t begin = pos_;
    Kind kind;
    switch (Peek()) {
      case '{':
      case '[': {
        // Deeper nesting than any real document would exhaust the stack.
        if (++depth_ > kMaxDepth) {
          Fail(13609, "JSON text is not properly formatted. It is nested too deeply.");
        }
        const bool object = Peek() == '{';
        kind = object ? Kind::kObject : Kind::kArray;
        ++pos_;
        SkipBlanks();
        if (Peek() == (object ? '}' : ']')) {
          ++pos_;
          --depth_;
          break;
        }
        while (true) {
          if (object) {
            SkipBlanks();
            SkipString();
            SkipBlanks();
            Expect(':');
          }
          Value();
          SkipBlanks();
          if (Peek() == ',') {
            ++pos_;
            continue;
          }
          Expect(object ? '}' : ']');
          break;
        }
        --depth_;
        break;
      }
      case '"':
        kind = Kind::kString;
        SkipString();
        break;
      case 't':
      case 'f':
        kind = Kind::kBool;
        Word(Peek() == 't' ? "true" : "false");
        break;
      case 'n':
        kind = Kind::kNull;
        Word("null");
        break;
      default:
        kind = Kind::kNumber;
        if (Peek() == '-') ++pos_;
        if (Peek() == '0') {
          ++pos_;
        } else {
          Digits();
        }
        if (Peek() == '.') {
          ++pos_;
          Digits();
        }
        if (Peek() == 'e' || Peek() == 'E') {
          ++pos_;
          if (Peek() == '+' || Peek() == '-') ++pos_;
          Digits();
        }
    }
    return Span{kind, begin, pos_};
  }

  static constexpr int kMaxDepth = 1000;
  std::string_view s_;
  size_t pos_ = 0;
  int depth_ = 0;
};

// "[lax|strict] $.name.\"quoted name\"[2]": the mode and the steps (a name, or an index
// written as "[n]").
struct Path {
  bool append = false;  // JSON_MODIFY's "append": add to the array at the path
  bool strict = false;
  std::vector<std::string> steps;
};

[[noreturn]] void BadPath(std::string_view path, size_t at) {
  if (at >= path.size()) {
    Fail(13607, "JSON path is not properly formatted. Unexpected end of input.");
  }
  Fail(13607, "JSON path is not properly formatted. Unexpected character '" +
                  std::string(1, path[at]) + "' is found at position " + std::to_string(at) + ".");
}

Path ParsePath(std::string_view p) {
  Path out;
  size_t i = 0;
  while (i < p.size() && p[i] == ' ') ++i;
  for (std::string_view mode : {"append", "lax", "strict"}) {
    if (p.substr(i, mode.size()) == mode && i + mode.size() < p.size() &&
        p[i + mode.size()] == ' ') {
      if (mode == "append") out.append = true;
      if (mode == "strict") out.strict = true;
      i += mode.size();
      while (i < p.size() && p[i] == ' ') ++i;
    }
  }
  if (i >= p.size() || p[i] != '$') BadPath(p, i);
  for (++i; i < p.size();) {
    if (p[i] == '.') {
      ++i;
      if (i < p.size() && p[i] == '"') {
        size_t start = i++;
        while (i < p.size() && p[i] != '"') i += p[i] == '\\' ? 2 : 1;
        if (i >= p.size()) BadPath(p, i);
        out.steps.push_back(Reader::Unquote(p.substr(start, ++i - start)));
      } else {
        size_t start = i;
        while (i < p.size() && p[i] != '.' && p[i] != '[' && p[i] != ' ') ++i;
        if (i == start) BadPath(p, i);
        out.steps.emplace_back(p.substr(start, i - start));
      }
    } else if (p[i] == '[') {
      size_t start = ++i;
      while (i < p.size() && p[i] >= '0' && p[i] <= '9') ++i;
      if (i == start || i >= p.size() || p[i] != ']') BadPath(p, i);
      out.steps.push_back("[" + std::string(p.substr(start, i - start)));
      ++i;
    } else {
      BadPath(p, i);
    }
  }
  return out;
}

// The value the path names (its first `depth` steps; all when -1), or nullopt when there is
// none.
std::optional<Span> Find(Reader* r, const Path& path, int depth = -1) {
  Span at = r->Document();
  std::vector<std::pair<std::string, Span>> members;
  size_t count = depth < 0 ? path.steps.size() : static_cast<size_t>(depth);
  for (size_t s = 0; s < count; ++s) {
    const std::string& step = path.steps[s];
    const bool index = step[0] == '[';
    if (at.kind != (index ? Kind::kArray : Kind::kObject)) return std::nullopt;
    members.clear();
    r->Members(at, &members);
    std::string_view key = index ? std::string_view(step).substr(1) : std::string_view(step);
    auto it = members.begin();
    while (it != members.end() && it->first != key) ++it;
    if (it == members.end()) return std::nullopt;
    at = it->second;
  }
  return at;
}

[[noreturn]] void FailMissing() {
  Fail(13608, "Property cannot be found on the specified JSON path.");
}

bool IsScalar(Kind k) { return k != Kind::kArray && k != Kind::kObject; }

// The text SQL Server gives for a value: a string's characters, any other value as written.
Value ValueText(const Reader& r, const Span& v) {
  if (v.kind == Kind::kNull) return Value{};
  if (v.kind == Kind::kString) return Value::Text(Reader::Unquote(r.Text(v)));
  return Value::Text(std::string(r.Text(v)));
}

Value IsJson(const Args& a) {
  std::string s = ToText(a[0]);
  Reader r(s);
  if (!r.Valid()) return Value::Int(0);
  Span v = r.Document();
  return Value::Int(IsScalar(v.kind) ? 0 : 1);
}

// JSON_VALUE: the scalar at the path of a document.
Value ScalarAt(std::string_view doc, const Path& path) {
  Reader r(doc);
  std::optional<Span> v = Find(&r, path);
  if (!v) {
    if (path.strict) FailMissing();
    return Value{};
  }
  if (!IsScalar(v->kind)) {
    if (path.strict) Fail(13623, "Scalar value cannot be found in the specified JSON path.");
    return Value{};
  }
  Value out = ValueText(r, *v);
  if (out.kind == Value::kText && static_cast<int64_t>(CharCount(out.s)) > kMaxValueChars) {
    if (path.strict) {
      Fail(13625, "String value in the specified JSON path would be truncated.");
    }
    return Value{};
  }
  return out;
}

// JSON_QUERY: the object or array at the path, as written.
Value FragmentAt(std::string_view doc, const Path& path) {
  Reader r(doc);
  std::optional<Span> v = Find(&r, path);
  if (!v) {
    if (path.strict) FailMissing();
    return Value{};
  }
  if (IsScalar(v->kind)) {
    if (path.strict) Fail(13624, "Object or array cannot be found in the specified JSON path.");
    return Value{};
  }
  return Value::Text(std::string(r.Text(*v)));
}

Value JsonValue(const Args& a) { return ScalarAt(ToText(a[0]), ParsePath(ToText(a[1]))); }

Value JsonQuery(const Args& a) {
  return FragmentAt(ToText(a[0]), ParsePath(a.size() > 1 ? ToText(a[1]) : "$"));
}

void AppendPacked(std::string* out, const Value& v) {
  switch (v.kind) {
    case Value::kNull:
      out->push_back('n');
      break;
    case Value::kInt:
      AppendPackedField(out, 'i', std::to_string(v.i));
      break;
    case Value::kReal: {
      char buffer[40];
      int n = std::snprintf(buffer, sizeof buffer, "%.17g", v.r);
      AppendPackedField(out, 'r', std::string_view(buffer, static_cast<size_t>(n)));
      break;
    }
    default:
      AppendPackedField(out, 't', v.s);
  }
}

// tsql_json_modify(text, path, value, 1 when the value is JSON already): the document with
// the value set at the path. In lax mode a missing property is added and a NULL value removes
// the property; "append" adds to the array at the path.
Value JsonModify(const Args& a) {
  if (a[0].is_null() || a[1].is_null()) return Value{};
  std::string doc = ToText(a[0]);
  Path path = ParsePath(ToText(a[1]));
  if (path.steps.empty()) Fail(13607, "JSON path is not properly formatted.");
  const Value& v = a[2];
  std::string text = "null";
  if (!v.is_null()) {
    text = ToInt(a[3]) != 0 || v.is_number() ? ToText(v) : "\"" + JsonEscaped(ToText(v)) + "\"";
  }
  Reader r(doc);
  std::optional<Span> parent = Find(&r, path, static_cast<int>(path.steps.size()) - 1);
  std::optional<Span> target = Find(&r, path);
  auto splice = [&](size_t begin, size_t end, std::string_view with) {
    return Value::Text(doc.substr(0, begin) + std::string(with) + doc.substr(end));
  };
  if (path.append) {
    if (!target || target->kind != Kind::kArray) {
      if (path.strict) FailMissing();
      return Value::Text(doc);
    }
    std::vector<std::pair<std::string, Span>> items;
    r.Members(*target, &items);
    return splice(target->end - 1, target->end - 1, (items.empty() ? "" : ",") + text);
  }
  if (target) {
    if (!v.is_null() || path.strict || parent->kind != Kind::kObject) {
      return splice(target->begin, target->end, text);
    }
    // Lax NULL: the property goes, with the comma that joined it to its neighbour.
    std::vector<std::pair<std::string, Span>> members;
    std::vector<size_t> starts;
    r.Members(*parent, &members, &starts);
    size_t i = 0;
    while (members[i].second.begin != target->begin) ++i;
    if (i + 1 < members.size()) return splice(starts[i], starts[i + 1], "");
    if (i > 0) return splice(members[i - 1].second.end, target->end, "");
    return splice(starts[i], target->end, "");
  }
  if (path.strict) FailMissing();
  if (!parent || parent->kind != Kind::kObject || v.is_null()) return Value::Text(doc);
  std::vector<std::pair<std::string, Span>> members;
  r.Members(*parent, &members);
  std::string member = members.empty() ? "\"" : ",\"";
  member += JsonEscaped(path.steps.back()) + "\":" + text;
  return splice(parent->end - 1, parent->end - 1, member);
}

// tsql_openjson(text, path): OPENJSON's rows (key, value, type) packed for json_each. The type
// codes are SQL Server's: 0 null, 1 string, 2 number, 3 true/false, 4 array, 5 object.
Value OpenJson(const Args& a) {
  if (a[0].is_null()) return Value::Text("[]");
  std::string s = ToText(a[0]);
  Path path = ParsePath(a.size() > 1 && !a[1].is_null() ? ToText(a[1]) : "$");
  Reader r(s);
  std::optional<Span> at = Find(&r, path);
  if (!at || IsScalar(at->kind)) {
    if (path.strict) {
      if (!at) FailMissing();
      Fail(13611, "Value referenced by JSON path is not an array or object and cannot be opened "
                  "with OPENJSON.");
    }
    return Value::Text("[]");
  }
  std::vector<std::pair<std::string, Span>> members;
  std::string out = "[";
  if (a.size() > 2) {
    // WITH: a row per element of an array, one row for an object; each column is the value at
    // its path in the row, converted to its type.
    std::vector<std::pair<Path, bool>> columns;
    for (size_t i = 2; i + 2 < a.size(); i += 3) {
      columns.emplace_back(ParsePath(ToText(a[i + 1])), ToInt(a[i + 2]) != 0);
    }
    if (at->kind == Kind::kArray) {
      r.Members(*at, &members);
    } else {
      members.emplace_back("", *at);
    }
    for (const auto& member : members) {
      std::string_view row = r.Text(member.second);
      std::string packed;
      for (size_t c = 0; c < columns.size(); ++c) {
        const auto& [column_path, as_json] = columns[c];
        Value v = as_json ? FragmentAt(row, column_path) : ScalarAt(row, column_path);
        AppendPacked(&packed, as_json ? v : CastToType(v, ToText(a[2 + 3 * c])));
      }
      if (out.size() > 1) out += ',';
      AppendJsonString(&out, packed);
    }
    return Value::Text(out + "]");
  }
  r.Members(*at, &members);
  for (const auto& [key, v] : members) {
    std::string packed;
    AppendPackedField(&packed, 't', key);
    Value text = ValueText(r, v);
    if (text.is_null()) {
      packed += 'n';
    } else {
      AppendPackedField(&packed, 't', text.s);
    }
    AppendPackedField(&packed, 'i', std::to_string(static_cast<int>(v.kind)));
    if (out.size() > 1) out += ',';
    AppendJsonString(&out, packed);
  }
  out += ']';
  return Value::Text(std::move(out));
}

}  // namespace

void RegisterJsonFunctions(sqlite3* db) {
  AddScalar(db, "tsql_isjson", 1, 1, IsJson);
  AddScalar(db, "tsql_json_value", 2, 2, JsonValue);
  AddScalar(db, "tsql_json_query", 1, 2, JsonQuery);
  AddScalar(db, "tsql_json_modify", 4, 4, JsonModify, false);
  // text, path, then a type, a path and the AS JSON flag for each column of a WITH clause.
  AddScalar(db, "tsql_openjson", -1, -1, OpenJson, false);
}

}  // namespace ambit::tsql::rt
