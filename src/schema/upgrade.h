// Bringing an account built by an earlier release up to the current scripts. A host runs
// UpgradeAccountSchema once when it starts serving an account; a fresh account already carries
// the current version and is left alone.
#ifndef AMBIT_SCHEMA_UPGRADE_H_
#define AMBIT_SCHEMA_UPGRADE_H_

#include "data/connection.h"

namespace ambit::schema {

// The version the scripts build, kept as t_SystemProfile ('EC', 'SchemaVersion'). Accounts
// from before the row existed are version 1.
inline constexpr int kAccountSchemaVersion = 6;

// The version `conn`'s account carries; 0 when it is no account of this module at all (no
// t_SystemProfile), which the upgrade leaves untouched.
int AccountSchemaVersion(Connection& conn);

// Runs every step between the account's version and kAccountSchemaVersion and records the new
// version, in one transaction: a failing step leaves the account as it was and raises a
// ComError naming the step. Running it again is a no-op.
void UpgradeAccountSchema(Connection& conn);

}  // namespace ambit::schema

#endif  // AMBIT_SCHEMA_UPGRADE_H_
