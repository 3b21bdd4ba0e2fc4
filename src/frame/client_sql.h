// Three places take SQL text from the client: the "AdvancedFilter" of the order lists, the
// statement of GetSingleSQLData and the "Select_Item" columns of GetTradeServiceData. All are
// checked to read only (tsql/client_sql.h); an operator who wants none of them switches them
// off here (`serve --no-client-sql`).
#ifndef AMBIT_FRAME_CLIENT_SQL_H_
#define AMBIT_FRAME_CLIENT_SQL_H_

#include <string_view>

namespace ambit {

// Process-wide; on unless the server's configuration says otherwise.
void SetClientSqlAllowed(bool allowed);
bool ClientSqlAllowed();

// Raises ComError 5 naming `what`, from `source`, when client SQL is switched off.
void CheckClientSqlAllowed(std::string_view what,
                           std::string_view source = "ambit-order.client-sql");

}  // namespace ambit

#endif  // AMBIT_FRAME_CLIENT_SQL_H_
