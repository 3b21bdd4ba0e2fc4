#include "backends/odbc/odbc_handles.h"

#include <mutex>

namespace ambit::odbc {

Handle& Handle::operator=(Handle&& other) noexcept {
  if (this != &other) {
    Free();
    type_ = other.type_;
    handle_ = other.handle_;
    other.handle_ = SQL_NULL_HANDLE;
  }
  return *this;
}

void Handle::Free() {
  if (handle_ == SQL_NULL_HANDLE) return;
  SQLFreeHandle(type_, handle_);
  handle_ = SQL_NULL_HANDLE;
}

SQLHENV Environment() {
  static std::once_flag once;
  static SQLHENV env = SQL_NULL_HENV;
  std::call_once(once, [] {
    SQLHENV h = SQL_NULL_HENV;
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) return;
    SQLSetEnvAttr(h, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    env = h;
  });
  if (env == SQL_NULL_HENV)
    throw ComError(err::kUnexpected, kOdbcErrorSource,
                   "The ODBC driver manager could not create an environment.");
  return env;
}

Handle Allocate(SQLSMALLINT type, SQLHANDLE parent) {
  SQLHANDLE h = SQL_NULL_HANDLE;
  SQLSMALLINT parent_type = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
  if (!Succeeded(SQLAllocHandle(type, parent, &h))) {
    throw ToComError(ReadDiagnostics(parent_type, parent), "Cannot allocate an ODBC handle");
  }
  return Handle(type, h);
}

namespace {

// "[FreeTDS][SQL Server]Invalid object name 'x'." -> "Invalid object name 'x'.": the server's
// own words, as the embedded engine gives them.
std::string_view WithoutVendorPrefixes(std::string_view text) {
  while (text.starts_with('[')) {
    size_t close = text.find(']');
    if (close == std::string_view::npos) break;
    text.remove_prefix(close + 1);
  }
  return text;
}

}  // namespace

Diagnostics ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostics diag;
  if (handle == SQL_NULL_HANDLE) return diag;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[2048];
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRec(type, handle, record, state, &native, text,
                                 static_cast<SQLSMALLINT>(std::size(text)), &length);
    if (!Succeeded(rc)) break;
    std::string sqlstate(reinterpret_cast<char*>(state), 5);
    // Warnings (01xxx) are PRINT output and notes such as "changed database context".
    if (sqlstate.starts_with("01")) continue;
    size_t chars = std::min<size_t>(static_cast<size_t>(length), std::size(text) - 1);
    std::string message(reinterpret_cast<char*>(text), chars);
    if (diag.sqlstate.empty()) {
      diag.sqlstate = sqlstate;
      diag.native = native;
    }
    std::string_view shown = native != 0 ? WithoutVendorPrefixes(message) : message;
    if (diag.message.find(shown) != std::string::npos) continue;  // drivers repeat themselves
    if (!diag.message.empty()) diag.message += " ";
    diag.message += shown;
  }
  return diag;
}

ComError ToComError(const Diagnostics& diag, std::string_view context) {
  std::string text(context);
  if (!text.empty()) text += ": ";
  if (diag.message.empty()) {
    text += "the ODBC driver failed without saying why";
  } else {
    text += diag.message;
  }
  if (diag.native == 0 && !diag.sqlstate.empty()) text += " (SQLSTATE " + diag.sqlstate + ")";
  return ComError(diag.native != 0 ? diag.native : err::kUnexpected, kOdbcErrorSource, text);
}

void ThrowDiagnostics(const Handle& handle, std::string_view context) {
  Diagnostics diag = ReadDiagnostics(handle);
  throw OdbcError(ToComError(diag, context), diag.connection_lost());
}

}  // namespace ambit::odbc
