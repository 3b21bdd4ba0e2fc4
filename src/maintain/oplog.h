// The order operation log: writers for ready-made rows and for one edited field, the per-code
// switch, and the reader behind the order screen's history.
#ifndef AMBIT_MAINTAIN_OPLOG_H_
#define AMBIT_MAINTAIN_OPLOG_H_

#include <string>

#include "data/connection.h"
#include "frame/collections.h"
#include "frame/method_frame.h"

namespace ambit {

// Operation codes written by order maintenance itself (the per-field codes live in the field
// table of WriteSaveOrderLog).
namespace oplog {
inline constexpr int kItemReplaced = 1005;
inline constexpr int kLineDeleted = 1020;
inline constexpr int kLineInserted = 1021;
inline constexpr int kInvoiceMarkToggled = 1028;
inline constexpr int kOrdersMerged = 2009;
}  // namespace oplog

// One row per FID of dctData("sFID"); nothing when dctData is missing or "sFID" is empty.
// Always answers false.
bool WriteOPLog(Component& self, const std::string& sDsn, const DictionaryPtr& dctData);

// True when the code's row in IC_TradeLogType says FWriteLog = 1. Runs on the connection of
// the call in progress and has no error path of its own.
bool IsLogEnable(Connection& conn, const std::string& OPCode);
bool IsLogEnable(Component& self, const std::string& OPCode);

// The compare-and-insert batch for one edited field, or "" when the field is not logged.
// `FID` must be known; `decimals` is the item's quantity decimals for the cast fields.
struct SaveOrderLogInput {
  std::string FID;
  std::string EntryID;  // "0" or "" for a header field
  std::string FieldName;
  std::string Value;  // the new value
  std::string ItemID;  // optional
  int32_t user_id = 0;
  std::string client_address;
  std::string now;  // "yyyy-MM-dd HH:mm:ss"
  int decimals = 0;
};
std::string BuildSaveOrderLogSql(const SaveOrderLogInput& in, int code);
// The log code of an edited field, 0 when the field is not logged.
int SaveOrderLogCode(std::string_view field_name);

// Logs one edited field on the connection of the call in progress (the order-save batch calls
// it before it stores the change). Always answers false.
bool WriteSaveOrderLog(Component& self, const std::string& FID, const std::string& EntryID,
                       const std::string& FieldName, const std::string& Value,
                       const std::string& ItemID = "");
// The same on a given connection and context, for callers already inside a method.
void WriteSaveOrderLogOn(Connection& conn, CallContext& context, std::string FID,
                         const std::string& EntryID, const std::string& FieldName,
                         const std::string& Value, const std::string& ItemID);

// The log of one order, oldest first: FUserIP, FOPTime, FOPUserName, FOPName, FLogDesc.
RecordsetPtr GetOPLog(Component& self, const std::string& sDsn, const std::string& sFID);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_OPLOG_H_
