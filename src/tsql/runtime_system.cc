// What a T-SQL user asks about the connection (DB_NAME(), SUSER_SNAME(), HOST_NAME(), @@SPID).
// An embedded account has no server behind it, so the answers come from where SQL Server's
// would for a local connection: the account file, the process's operating-system user and the
// machine.
#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "base/com_error.h"
#include "tsql/runtime.h"
#include "tsql/runtime_internal.h"

namespace ambit::tsql::rt {
namespace {

// Session ids start where SQL Server's user sessions do; the ones below are its own.
std::atomic<int32_t> next_session_id{51};

void SessionId(sqlite3_context* ctx, int, sqlite3_value**) {
  sqlite3_result_int(ctx, *static_cast<int32_t*>(sqlite3_user_data(ctx)));
}

// The account's name: its file name without directory and extension.
void DatabaseName(sqlite3_context* ctx, int, sqlite3_value**) {
  const char* file = sqlite3_db_filename(sqlite3_context_db_handle(ctx), "main");
  std::string path = file == nullptr ? "" : file;
  std::string name = path.substr(path.find_last_of('/') + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  if (name.empty()) name = "memory";
  sqlite3_result_text(ctx, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
}

Value LoginName(const Args&) {
  struct passwd entry;
  struct passwd* found = nullptr;
  char buffer[1024];
  if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return Value::Text(found->pw_name);
  }
  const char* user = std::getenv("USER");
  return Value::Text(user != nullptr && *user != '\0' ? user : "sa");
}

Value HostName(const Args&) {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return Value::Text("localhost");
  return Value::Text(name);
}

// The level a recursive common table expression reached, while it is within the limit.
Value RecursionLevel(const Args& a) {
  int64_t limit = a[1].i;
  if (limit > 0 && a[0].i > limit) {
    Fail(530, "The statement terminated. The maximum recursion " + std::to_string(limit) +
                  " has been exhausted before statement completion.");
  }
  return a[0];
}

}  // namespace

void RegisterSystemFunctions(sqlite3* db) {
  AddScalar(db, "tsql_recursion", 2, 2, RecursionLevel, true, false);
  AddScalar(db, "tsql_login", 0, 0, LoginName, true, false);
  AddScalar(db, "tsql_host_name", 0, 0, HostName, true, false);
  auto* id = new int32_t(next_session_id++);
  int rc = sqlite3_create_function_v2(
      db, "tsql_spid", 0, SQLITE_UTF8, id, SessionId, nullptr, nullptr,
      [](void* p) { delete static_cast<int32_t*>(p); });
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "tsql_db_name", 0, SQLITE_UTF8, nullptr, DatabaseName,
                                    nullptr, nullptr, nullptr);
  }
  if (rc != SQLITE_OK) {
    throw ComError(err::kUnexpected, kErrorSource,
                   std::string("Cannot register the system functions: ") + sqlite3_errmsg(db));
  }
}

}  // namespace ambit::tsql::rt
