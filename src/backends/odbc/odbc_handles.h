// What every part of the ODBC backend shares: owned handles and the driver's diagnostics turned
// into ComError.
//
// Text crosses the driver manager as UTF-8 through the narrow calls: drivers without the wide
// ones (the SQLite driver) would have the driver manager squeeze UTF-16 into single bytes, and
// FreeTDS converts UTF-8 to the server's UCS-2 and back once told its client charset (the
// backend adds ClientCharset=UTF-8 for it).
#ifndef AMBIT_BACKENDS_ODBC_ODBC_HANDLES_H_
#define AMBIT_BACKENDS_ODBC_ODBC_HANDLES_H_

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

#include "base/com_error.h"

namespace ambit::odbc {

// Source of the errors this backend raises.
inline constexpr char kOdbcErrorSource[] = "ambit-order.odbc";

// One ODBC handle, freed with its owner. Moves, never copies.
class Handle {
 public:
  Handle() = default;
  Handle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
  ~Handle() { Free(); }
  Handle(Handle&& other) noexcept : type_(other.type_), handle_(other.handle_) {
    other.handle_ = SQL_NULL_HANDLE;
  }
  Handle& operator=(Handle&& other) noexcept;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SQLHANDLE get() const { return handle_; }
  SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }
  void Free();

 private:
  SQLSMALLINT type_ = SQL_HANDLE_STMT;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// The process's one ODBC 3 environment (created on first use, never freed).
SQLHENV Environment();

// Allocates a handle of `type` under `parent`; a ComError when the driver manager cannot.
Handle Allocate(SQLSMALLINT type, SQLHANDLE parent);

// The diagnostics of the last call on a handle, as the server or the driver gave them.
struct Diagnostics {
  std::string sqlstate;  // of the first error record ("42S02"); empty when there is none
  int32_t native = 0;    // the server's own error number (208), 0 for driver errors
  std::string message;   // every error record's text, server prefixes removed, joined by " "
  // 08xxx: the link to the server is gone (refused, dropped, timed out); the connection is
  // useless afterwards.
  bool connection_lost() const { return sqlstate.starts_with("08") || sqlstate == "HYT00"; }
};
Diagnostics ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle);
inline Diagnostics ReadDiagnostics(const Handle& h) { return ReadDiagnostics(h.type(), h.get()); }

// The ComError of a failed call: the server's native number when it gave one, E_FAIL otherwise;
// `context` (may be empty) is put before the driver's message.
ComError ToComError(const Diagnostics& diag, std::string_view context = {});

// A failed ODBC call. Also says whether the connection survived it, so that the pool can drop
// a connection whose server went away.
class OdbcError : public ComError {
 public:
  OdbcError(ComError error, bool connection_lost)
      : ComError(std::move(error)), connection_lost_(connection_lost) {}
  bool connection_lost() const { return connection_lost_; }

 private:
  bool connection_lost_;
};

// Throws the OdbcError of the last call on `handle`.
[[noreturn]] void ThrowDiagnostics(const Handle& handle, std::string_view context = {});

// True for SQL_SUCCESS and SQL_SUCCESS_WITH_INFO (PRINT output, "changed database context").
inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

}  // namespace ambit::odbc

#endif  // AMBIT_BACKENDS_ODBC_ODBC_HANDLES_H_
