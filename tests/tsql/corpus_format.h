// The .test corpus format (see tests/tsql/corpus/README.md): records of T-SQL batches with the
// outcome each must have, and the comparison of an engine's result sets with what a record
// expects. Kept apart from the runner so that the format itself is tested without an engine.
#ifndef AMBIT_TESTS_TSQL_CORPUS_FORMAT_H_
#define AMBIT_TESTS_TSQL_CORPUS_FORMAT_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"

namespace ambit::corpus {

// A .test file that cannot be read as records: the message names file:line.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class RecordKind { kStatementOk, kStatementError, kQuery };

using TextRow = std::vector<std::string>;
using TextResult = std::vector<TextRow>;

struct Record {
  RecordKind kind = RecordKind::kStatementOk;
  int line = 0;     // line of the record's header, 1-based
  std::string sql;  // the batch, lines joined with "\n"

  // statement error: the number, and optionally a text the message must contain.
  int32_t error_number = 0;
  std::string error_text;

  // query: one letter per column (I integer, R number, T text, D date) or, when only a count
  // was given, an empty string. column_count is known either way.
  std::string column_types;
  int column_count = 0;
  bool rowsort = false;
  // Expected rows of each result set in turn; the values of a row as written in the file.
  std::vector<TextResult> expected;

  // Set by a "skipif ambit <reason>" line before the record: the runner skips it and says why.
  std::string skip_reason;

  // The connection the record runs on: "default" until a "connection <name>" line switches.
  std::string connection = "default";
};

// Reads a whole file. Throws FormatError for anything it does not understand.
std::vector<Record> ParseCorpus(std::string_view text, std::string_view file_name);

// Names of the connections the records use, in order of first use.
std::vector<std::string> ConnectionNames(const std::vector<Record>& records);

// One result set as the engine returned it.
struct ActualResult {
  std::vector<std::string> column_names;
  std::vector<std::vector<Variant>> rows;
};

// Empty when `actual` is what the query record expects; otherwise a readable account of the
// first difference followed by the expected and the actual rows.
std::string CompareQuery(const Record& record, const std::vector<ActualResult>& actual);

// How a value reads in a .test file: NULL, (empty), integers in decimal, numbers with up to 15
// significant digits, dates as "yyyy-MM-dd HH:mm:ss[.fff]".
std::string RenderValue(const Variant& value);

}  // namespace ambit::corpus

#endif  // AMBIT_TESTS_TSQL_CORPUS_FORMAT_H_
