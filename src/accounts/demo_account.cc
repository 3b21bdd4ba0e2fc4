#include "accounts/demo_account.h"

#include "accounts/reference_data.h"
#include "base/com_error.h"
#include "maintain/build_demo_data.h"
#include "schema/account.h"

namespace ambit {

ConnectionPtr CreateDemoAccount(const std::string& path, const ProgressFn& progress) {
  ConnectionPtr conn = schema::CreateAccount(path, progress);
  if (progress) progress("master data");
  conn->BeginTrans();
  try {
    SeedReferenceData(*conn, ReferenceDataSize{12, 1});
    if (progress) progress("demonstration orders");
    FillDemoOrders(*conn);
    conn->CommitTrans();
  } catch (...) {
    conn->RollbackTrans();
    throw;
  }
  return conn;
}

GenerateStats CreateGeneratedAccount(const std::string& path, int shops, int items,
                                     const GenerateOptions& options,
                                     const ProgressFn& progress) {
  // Rows go in faster without indexes; they are built once at the end.
  ConnectionPtr conn = schema::CreateAccount(path, progress, schema::SchemaOptions{false});
  auto* sqlite = dynamic_cast<SqliteConnection*>(conn.get());
  if (!sqlite)
    throw ComError(err::kInvalidArgument, "ambit-order.accounts",
                   "Generated accounts live on the embedded engine only.");
  if (progress) progress("master data");
  conn->BeginTrans();
  ReferenceData ref;
  try {
    ref = SeedReferenceData(*conn, ReferenceDataSize{items, shops});
    conn->CommitTrans();
  } catch (...) {
    conn->RollbackTrans();
    throw;
  }
  if (progress) progress("orders");
  GenerateStats stats = GenerateOrders(*sqlite, ref, options);
  schema::CreateSchemaIndexes(*conn, progress);
  return stats;
}

}  // namespace ambit
