#include "purchase/purchase_internal.h"

#include "base/com_error.h"
#include "base/conversions.h"

namespace ambit::purchase_internal {

std::string NumberLiteral(const Variant& value, std::string_view what) {
  if (value.IsEmpty() || value.IsNull()) return "0";
  if (value.IsNumber()) return CStr(value);
  if (!value.IsObject() && IsNumeric(value)) return CStr(Variant(CDbl(value)));
  throw ComError(err::kTypeMismatch, "",
                 std::string(what) + " must be a number, not " + DescribeValue(value) + ".");
}

DictionaryPtr RowDictionary(const Variant& item, std::string_view what) {
  DictionaryPtr row = item.As<Dictionary>();
  if (!row)
    throw ComError(err::kTypeMismatch, "",
                   "Every item of " + std::string(what) + " must be a Dictionary, not " +
                       DescribeValue(item) + ".");
  return row;
}

RecordsetPtr ExecuteAtomically(Connection& conn, const std::string& batch) {
  if (conn.TransactionDepth() > 0) return conn.Execute(batch);
  conn.BeginTrans();
  try {
    RecordsetPtr rs = conn.Execute(batch);
    conn.CommitTrans();
    return rs;
  } catch (...) {
    if (conn.TransactionDepth() > 0) conn.RollbackTrans();
    throw;
  }
}

}  // namespace ambit::purchase_internal
