#include "frame/client_sql.h"

#include <atomic>
#include <string>

#include "base/com_error.h"

namespace ambit {
namespace {

std::atomic<bool> allowed{true};

}  // namespace

void SetClientSqlAllowed(bool value) { allowed = value; }

bool ClientSqlAllowed() { return allowed; }

void CheckClientSqlAllowed(std::string_view what, std::string_view source) {
  if (!allowed)
    throw ComError(err::kInvalidArgument, std::string(source),
                   std::string(what) + " is SQL composed by the client, which this server does "
                   "not accept (started with --no-client-sql).");
}

}  // namespace ambit
