// Materialises what an executed ODBC statement produced: every result set of the batch in
// order (SQLMoreResults), each one read to its end, as the data contract's recordsets.
#ifndef AMBIT_BACKENDS_ODBC_ODBC_RESULTS_H_
#define AMBIT_BACKENDS_ODBC_ODBC_RESULTS_H_

#include "backends/odbc/odbc_handles.h"
#include "data/connection.h"
#include "data/recordset.h"

namespace ambit::odbc {

// `exec_rc` is what SQLExecDirect (or SQLExecute) answered on `stmt`. Returns the first result
// set with columns, the later ones chained through NextRecordset; without any, a closed recordset
// whose records_affected is the last row count the server reported. An error anywhere in the
// batch throws OdbcError. With `failed`, an error that ended only its statement does not stop
// the reading: the server goes on with the batch, so the later result sets are read too, and
// the sets before and after the (first) error are left in *failed before it is thrown.
RecordsetPtr ReadResults(const Handle& stmt, SQLRETURN exec_rc,
                         FailedBatchResults* failed = nullptr);

// The contract's type of an ODBC column type.
DataType DataTypeOf(SQLSMALLINT sql_type);

}  // namespace ambit::odbc

#endif  // AMBIT_BACKENDS_ODBC_ODBC_RESULTS_H_
