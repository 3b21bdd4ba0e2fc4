// Shared by the reliability tests: a demo account built once per test binary and copied for
// each run, calls through the real dispatcher, and the whole content of an account to compare.
#ifndef AMBIT_TESTS_RELIABILITY_ACCOUNT_SNAPSHOT_H_
#define AMBIT_TESTS_RELIABILITY_ACCOUNT_SNAPSHOT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "accounts/demo_account.h"
#include "classes/classes.h"
#include "host/account_registry.h"
#include "host/call_context.h"
#include "host/dispatcher.h"
#include "support/account_fixture.h"

namespace ambit::testing {

// Every table's rows, each table's rows sorted, so two snapshots are equal exactly when the
// account holds the same data whatever order the engine returns rows in.
using Snapshot = std::map<std::string, std::vector<std::string>>;

inline Snapshot TakeSnapshot(Connection& conn) {
  Snapshot out;
  // The tables, read through the catalog as a client would, and the stored procedures. Identity
  // counters are left out: as on SQL Server, an identity value taken by an insert that was
  // rolled back stays used (the next row leaves a gap), so they move even when nothing else may.
  std::map<std::string, std::string> queries = {
      {"(procedures)", "select ROUTINE_NAME, ROUTINE_DEFINITION from information_schema.routines"}};
  for (RecordsetPtr rs = conn.Execute("select name from sys.tables"); !rs->Eof(); rs->MoveNext())
    queries[CStr(rs->Value(0))] = "select * from [" + CStr(rs->Value(0)) + "]";
  for (const auto& [name, query] : queries) {
    std::vector<std::string>& rows = out[name];
    for (RecordsetPtr rs = conn.Execute(query); !rs->Eof();
         rs->MoveNext()) {
      std::string row;
      for (int i = 0; i < rs->FieldCount(); ++i)
        row += (rs->Value(i).IsNull() ? std::string("NULL") : CStr(rs->Value(i))) + "|";
      rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end());
  }
  return out;
}

// The tables two snapshots disagree on, for failure messages.
inline std::string ChangedTables(const Snapshot& a, const Snapshot& b) {
  std::string out;
  for (const auto& [table, rows] : b) {
    auto it = a.find(table);
    if (it == a.end() || it->second != rows) out += table + " ";
  }
  return out;
}

// A copy of the demo account under a temporary name, served to one dispatcher as "acc".
class DemoCopy {
 public:
  explicit DemoCopy(const std::string& tag)
      : path_(std::filesystem::temp_directory_path() /
              ("ambit-rel-" + std::to_string(::getpid()) + "-" + tag + ".db")) {
    Remove();
    std::filesystem::copy_file(Template(), path_);
    accounts_.AddAccount("acc", schema::SqliteConnectionString(path_.string()));
    conn_ = OpenConnection(schema::SqliteConnectionString(path_.string()));
  }
  ~DemoCopy() {
    conn_.reset();
    Remove();
  }

  Connection& conn() { return *conn_; }
  nlohmann::ordered_json Call(const std::string& cls, const std::string& method,
                              const nlohmann::ordered_json& args) {
    return dispatcher_.Call({cls, method, args, user_, "10.1.2.3"});
  }

 private:
  // Built once per binary; later copies cost a file copy.
  static const std::filesystem::path& Template() {
    static const std::filesystem::path path = [] {
      std::filesystem::path p = std::filesystem::temp_directory_path() /
                                ("ambit-rel-" + std::to_string(::getpid()) + "-demo.db");
      for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(p.string() + suffix);
      CreateDemoAccount(p.string()).reset();
      std::atexit([] {
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("ambit-rel-" + std::to_string(::getpid()) + "-demo.db"));
      });
      return p;
    }();
    return path;
  }
  void Remove() {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      std::filesystem::remove(path_.string() + suffix);
  }

  std::filesystem::path path_;
  AccountRegistry accounts_;
  Dispatcher dispatcher_{accounts_, AllClassTables()};
  ConnectionPtr conn_;
  UserLoginPtr user_ = std::make_shared<HostUserLogin>("tok", 16394, "CHS");
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_RELIABILITY_ACCOUNT_SNAPSHOT_H_
