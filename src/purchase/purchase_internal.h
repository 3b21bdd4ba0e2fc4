// Pieces the purchase files share; not part of any public interface.
#ifndef AMBIT_PURCHASE_PURCHASE_INTERNAL_H_
#define AMBIT_PURCHASE_PURCHASE_INTERNAL_H_

#include <string>
#include <string_view>

#include "data/connection.h"
#include "frame/collections.h"

namespace ambit::purchase_internal {

// A value that goes into a statement unquoted: its number, "0" for Empty and Null. Anything
// else is ComError 13 naming `what`, so client text never reaches SQL outside quotes.
std::string NumberLiteral(const Variant& value, std::string_view what);

// The Dictionary of one row of a Vector argument; ComError 13 naming `what` otherwise.
DictionaryPtr RowDictionary(const Variant& item, std::string_view what);

// Runs `batch` in a transaction of its own unless the connection is in one already: these
// methods belong to the class the host runs without a transaction, and a batch that fails
// halfway must not leave half a bill or half-filled print tables behind.
RecordsetPtr ExecuteAtomically(Connection& conn, const std::string& batch);

}  // namespace ambit::purchase_internal

#endif  // AMBIT_PURCHASE_PURCHASE_INTERNAL_H_
