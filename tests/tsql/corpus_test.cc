// Runs every .test file of the T-SQL corpus against the embedded engine, each on a fresh
// in-memory database. One test per file, so a failing construct group is visible by name.
#if __has_include("backends/sqlite/sqlite_connection.h")

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "backends/sqlite/sqlite_connection.h"
#include "base/com_error.h"
#include "data/connection.h"
#include "tsql/corpus_format.h"

namespace ambit::corpus {
namespace {

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(AMBIT_CORPUS_DIR)) {
    if (entry.path().extension() == ".test") files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
  auto it = std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                        [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                        });
  return it != haystack.end();
}

std::vector<ActualResult> CollectResults(RecordsetPtr rs) {
  std::vector<ActualResult> results;
  while (rs) {
    if (rs->IsOpen() && rs->FieldCount() > 0) {
      ActualResult r;
      for (const FieldInfo& f : rs->fields()) r.column_names.push_back(f.name);
      r.rows = rs->rows();
      results.push_back(std::move(r));
    }
    rs = rs->NextRecordset();
  }
  return results;
}

std::string Indent(const std::string& sql) {
  std::string out = "    ";
  for (char c : sql) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

// Empty when the record behaved as it says; otherwise what happened instead.
std::string RunRecord(Connection& connection, const Record& record) {
  RecordsetPtr rs;
  try {
    rs = connection.Execute(record.sql);
  } catch (const ComError& e) {
    std::string got = "error " + std::to_string(e.number()) + ": " + e.description();
    if (record.kind != RecordKind::kStatementError) return "unexpected " + got;
    if (e.number() != record.error_number) {
      return "expected error " + std::to_string(record.error_number) + ", got " + got;
    }
    if (!ContainsNoCase(e.description(), record.error_text)) {
      return "the message lacks '" + record.error_text + "': " + got;
    }
    return "";
  } catch (const std::exception& e) {
    return std::string("exception that is no ComError: ") + e.what();
  }
  switch (record.kind) {
    case RecordKind::kStatementOk:
      return "";
    case RecordKind::kStatementError:
      return "expected error " + std::to_string(record.error_number) + ", the batch succeeded";
    case RecordKind::kQuery:
      return CompareQuery(record, CollectResults(std::move(rs)));
  }
  return "";
}

// A database file for a corpus file whose records use several connections; removed afterwards
// together with its WAL companions.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(const std::string& test_file)
      : path_(std::filesystem::temp_directory_path() /
              ("ambit_corpus_" + std::to_string(::getpid()) + "_" +
               std::filesystem::path(test_file).stem().string() + ".db")) {
    Remove();
  }
  ~ScratchDatabase() { Remove(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) {
      std::filesystem::remove(path_.string() + suffix, ignored);
    }
  }
  std::filesystem::path path_;
};

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, File) {
  const std::string& name = GetParam();
  std::vector<Record> records;
  try {
    records = ParseCorpus(ReadFile(std::filesystem::path(AMBIT_CORPUS_DIR) / name), name);
  } catch (const FormatError& e) {
    FAIL() << e.what();
  }
  ASSERT_FALSE(records.empty()) << name << " has no records";

  RegisterSqliteBackend();
  // One connection gets a private in-memory database; several share a file made for this run.
  std::vector<std::string> names = ConnectionNames(records);
  std::string source = "Data Source=:memory:";
  std::unique_ptr<ScratchDatabase> scratch;
  if (names.size() > 1) {
    scratch = std::make_unique<ScratchDatabase>(name);
    source = "Data Source=" + scratch->path().string();
  }
  std::map<std::string, ConnectionPtr> connections;
  for (const std::string& n : names) {
    connections[n] = OpenConnection("Provider=SQLite;" + source);
    ASSERT_NE(connections[n], nullptr);
  }

  int skipped = 0;
  for (const Record& record : records) {
    if (!record.skip_reason.empty()) {
      ++skipped;
      std::cout << "[ SKIPPED  ] " << name << ":" << record.line << ": " << record.skip_reason
                << "\n";
      continue;
    }
    std::string problem = RunRecord(*connections[record.connection], record);
    if (!problem.empty()) {
      std::string where = name + ":" + std::to_string(record.line);
      if (names.size() > 1) where += " (connection " + record.connection + ")";
      ADD_FAILURE_AT(name.c_str(), record.line)
          << where << "\nbatch:\n" << Indent(record.sql) << "\n" << problem;
    }
  }
  if (skipped > 0) {
    RecordProperty("skipped_records", skipped);
    std::cout << "[ SKIPPED  ] " << name << ": " << skipped << " record(s), see KNOWN_FAILURES.md\n";
  }
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string n = std::filesystem::path(info.param).stem().string();
  for (char& c : n) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, ::testing::ValuesIn(CorpusFiles()), TestName);

}  // namespace
}  // namespace ambit::corpus

#endif  // __has_include("backends/sqlite/sqlite_connection.h")
