// Rows packed into one text value. SQLite has no lateral join: a row source in FROM cannot see
// the tables before it, but a table-valued function's arguments can. CROSS APPLY therefore
// runs its subquery as a scalar subquery that packs each row with tsql_pack and gathers them in
// a JSON array that json_each walks; tsql_unpack reads the columns back. JSON alone would do
// for the gathering but not for the values: it writes reals with 15 digits and refuses blobs,
// so each value keeps its SQLite type and every bit here.
//
// tsql_keep and tsql_kept below carry an UPDATE's old row values to its RETURNING clause.
//
// A packed value is a tag ('n' NULL, 'i' integer, 'r' real, 't' text, 'b' blob as hex) and,
// except for NULL, the payload's byte length, ':' and the payload.
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

constexpr char kHex[] = "0123456789abcdef";

}  // namespace

void AppendPackedField(std::string* out, char tag, std::string_view payload) {
  out->push_back(tag);
  out->append(std::to_string(payload.size()));
  out->push_back(':');
  out->append(payload);
}

namespace {

void Pack(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) {
    sqlite3_value* v = argv[i];
    switch (sqlite3_value_type(v)) {
      case SQLITE_NULL:
        out.push_back('n');
        break;
      case SQLITE_INTEGER:
        AppendPackedField(&out, 'i', std::to_string(sqlite3_value_int64(v)));
        break;
      case SQLITE_FLOAT: {
        char buffer[40];
        int n = std::snprintf(buffer, sizeof buffer, "%.17g", sqlite3_value_double(v));
        AppendPackedField(&out, 'r', std::string_view(buffer, static_cast<size_t>(n)));
        break;
      }
      case SQLITE_TEXT: {
        const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        size_t size = static_cast<size_t>(sqlite3_value_bytes(v));
        AppendPackedField(&out, 't', std::string_view(text, size));
        break;
      }
      default: {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
        size_t size = static_cast<size_t>(sqlite3_value_bytes(v));
        std::string hex;
        hex.reserve(size * 2);
        for (size_t k = 0; k < size; ++k) {
          hex.push_back(kHex[bytes[k] >> 4]);
          hex.push_back(kHex[bytes[k] & 15]);
        }
        AppendPackedField(&out, 'b', hex);
      }
    }
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

int HexDigit(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

// tsql_unpack(packed, index): the column at index (from 0); NULL beyond the last one.
void Unpack(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const char* data = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  std::string_view packed(data, static_cast<size_t>(sqlite3_value_bytes(argv[0])));
  int64_t index = sqlite3_value_int64(argv[1]);
  size_t pos = 0;
  for (int64_t field = 0; pos < packed.size(); ++field) {
    char tag = packed[pos++];
    std::string_view payload;
    if (tag != 'n') {
      size_t colon = packed.find(':', pos);
      if (colon == std::string_view::npos) break;
      std::string digits(packed.substr(pos, colon - pos));
      size_t size = std::strtoull(digits.c_str(), nullptr, 10);
      if (size > packed.size() - colon - 1) break;
      payload = packed.substr(colon + 1, size);
      pos = colon + 1 + size;
    }
    if (field != index) continue;
    std::string text(payload);
    switch (tag) {
      case 'i':
        return sqlite3_result_int64(ctx, std::strtoll(text.c_str(), nullptr, 10));
      case 'r':
        return sqlite3_result_double(ctx, std::strtod(text.c_str(), nullptr));
      case 't':
        return sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()),
                                   SQLITE_TRANSIENT);
      case 'b': {
        std::string bytes;
        for (size_t k = 0; k + 1 < text.size(); k += 2) {
          bytes.push_back(static_cast<char>(HexDigit(text[k]) * 16 + HexDigit(text[k + 1])));
        }
        return sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()),
                                   SQLITE_TRANSIENT);
      }
      default:
        return sqlite3_result_null(ctx);
    }
  }
  sqlite3_result_null(ctx);
}

// The old values of the rows an UPDATE is changing, for OUTPUT deleted.x. RETURNING sees only
// the new row: tsql_keep(new_value, rowid, old...) in the first SET keeps the row's old values
// and tsql_kept(i, rowid) in RETURNING reads them back. A plain UPDATE writes a row and returns
// it before it moves to the next one; an UPDATE ... FROM works out every row's new values before
// it writes the first, so the old values of all its rows wait here at once, by rowid.
struct KeptRows {
  struct Row {
    std::vector<sqlite3_value*> values;
    bool read = false;
  };
  std::unordered_map<int64_t, Row> rows;
  // Rows whose RETURNING has run; dropped when the next row is kept (a row of a later statement
  // may have the same rowid and must not find these values).
  std::vector<int64_t> read;

  static void Free(Row& row) {
    for (sqlite3_value* v : row.values) sqlite3_value_free(v);
    row.values.clear();
  }
  ~KeptRows() {
    for (auto& [rowid, row] : rows) Free(row);
  }
};

void Keep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto* kept = static_cast<KeptRows*>(sqlite3_user_data(ctx));
  for (int64_t rowid : kept->read) {
    auto it = kept->rows.find(rowid);
    if (it != kept->rows.end() && it->second.read) {
      KeptRows::Free(it->second);
      kept->rows.erase(it);
    }
  }
  kept->read.clear();
  KeptRows::Row& row = kept->rows[sqlite3_value_int64(argv[1])];
  KeptRows::Free(row);  // left by a statement that failed before its RETURNING
  row.read = false;
  for (int i = 2; i < argc; ++i) {
    sqlite3_value* copy = sqlite3_value_dup(argv[i]);
    if (copy == nullptr) return sqlite3_result_error_nomem(ctx);
    row.values.push_back(copy);
  }
  sqlite3_result_value(ctx, argv[0]);
}

void Kept(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* kept = static_cast<KeptRows*>(sqlite3_user_data(ctx));
  const int64_t rowid = sqlite3_value_int64(argv[1]);
  auto it = kept->rows.find(rowid);
  int64_t index = sqlite3_value_int64(argv[0]);
  if (it == kept->rows.end() || index < 0 ||
      index >= static_cast<int64_t>(it->second.values.size())) {
    return sqlite3_result_null(ctx);
  }
  if (!it->second.read) {
    it->second.read = true;
    kept->read.push_back(rowid);
  }
  sqlite3_result_value(ctx, it->second.values[static_cast<size_t>(index)]);
}

}  // namespace

void AppendJsonString(std::string* out, std::string_view text) {
  out->push_back('"');
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out->push_back('\\');
      out->push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out->append(escape);
    } else {
      out->push_back(c);
    }
  }
  out->push_back('"');
}

namespace {

// tsql_string_split(text, separator): STRING_SPLIT's rows, packed for json_each.
void StringSplit(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string_view separator;
  if (sqlite3_value_type(argv[1]) != SQLITE_NULL) {
    separator = std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                                 static_cast<size_t>(sqlite3_value_bytes(argv[1])));
  }
  if (separator.empty() || CharCount(separator) != 1) {
    std::string text = EncodeError(
        214, "Procedure expects parameter 'separator' of type 'nchar(1)/nvarchar(1)'.");
    return sqlite3_result_error(ctx, text.c_str(), static_cast<int>(text.size()));
  }
  std::string out = "[";
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
    std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                          static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    size_t start = 0;
    while (true) {
      size_t end = text.find(separator, start);
      std::string packed;
      size_t length = end == std::string_view::npos ? end : end - start;
      AppendPackedField(&packed, 't', text.substr(start, length));
      if (out.size() > 1) out.push_back(',');
      AppendJsonString(&out, packed);
      if (end == std::string_view::npos) break;
      start = end + separator.size();
    }
  }
  out.push_back(']');
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

void RegisterRowFunctions(sqlite3* db) {
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  int rc = sqlite3_create_function_v2(db, "tsql_pack", -1, flags, nullptr, Pack, nullptr,
                                      nullptr, nullptr);
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_unpack", 2, flags, nullptr, Unpack, nullptr,
                                    nullptr, nullptr);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_string_split", 2, flags, nullptr, StringSplit,
                                    nullptr, nullptr, nullptr);
  }
  // Not deterministic: each call must run, in row order.
  auto* kept = new KeptRows;
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_keep", -1, SQLITE_UTF8, kept, Keep, nullptr,
                                    nullptr, [](void* p) { delete static_cast<KeptRows*>(p); });
  } else {
    delete kept;
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_kept", 2, SQLITE_UTF8, kept, Kept, nullptr,
                                    nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register the row functions: ") + sqlite3_errmsg(db));
  }
}

}  // namespace ambit::tsql::rt
