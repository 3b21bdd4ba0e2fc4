// A database file of one test's own: named after the process and the running test, so that
// test binaries run side by side (ctest -j) never share one, and removed together with SQLite's
// companion files when the test starts and when it ends.
#ifndef AMBIT_TESTS_SUPPORT_TEMP_DB_FILE_H_
#define AMBIT_TESTS_SUPPORT_TEMP_DB_FILE_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace ambit::testing {

class TempDbFile {
 public:
  explicit TempDbFile(const std::string& prefix)
      : path_(std::filesystem::temp_directory_path() /
              (prefix + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db")) {
    Remove();
  }
  ~TempDbFile() { Remove(); }
  TempDbFile(const TempDbFile&) = delete;
  TempDbFile& operator=(const TempDbFile&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }

  void Remove() const {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      std::filesystem::remove(path_.string() + suffix);
    }
  }

 private:
  std::filesystem::path path_;
};

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_TEMP_DB_FILE_H_
