// Whole accounts in one call: an empty one, the demonstration account, a generated one.
#ifndef AMBIT_ACCOUNTS_DEMO_ACCOUNT_H_
#define AMBIT_ACCOUNTS_DEMO_ACCOUNT_H_

#include <functional>
#include <string>
#include <string_view>

#include "accounts/generator.h"
#include "data/connection.h"

namespace ambit {

using ProgressFn = std::function<void(std::string_view step)>;

// Schema, procedures, base data, the master data of the demo and BuildDemoData's orders.
// Refuses a path that already holds an account.
ConnectionPtr CreateDemoAccount(const std::string& path, const ProgressFn& progress = {});

// Schema and base data, `shops` shops with their master data, then `options.orders` orders.
GenerateStats CreateGeneratedAccount(const std::string& path, int shops, int items,
                                     const GenerateOptions& options,
                                     const ProgressFn& progress = {});

}  // namespace ambit

#endif  // AMBIT_ACCOUNTS_DEMO_ACCOUNT_H_
