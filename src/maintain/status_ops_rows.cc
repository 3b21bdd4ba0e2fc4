// Delete, void, line close, lock and item replacement: the status operations that do not touch
// the review state.
#include <string>

#include "base/conversions.h"
#include "frame/key_list.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "maintain/oplog.h"
#include "maintain/status_ops.h"
#include "maintain/status_ops_common.h"
#include "schema/names.h"

namespace ambit {
namespace {

bool MissingKeyList(const DictionaryPtr& dctPara) {
  return dctPara && TextOrEmpty(dctPara->Value("FID")).empty();
}

std::string CheckedFids(const DictionaryPtr& dctPara) {
  return CheckKeyList(CStr(dctPara->Value("FID")), "FID");
}

void AppendLock(StringBuilder& sb, const std::string& fid, int16_t is_lock,
                const std::string& reason, int16_t lock_status) {
  std::string lock = std::to_string(is_lock);
  std::string status = std::to_string(lock_status);
  sb.Append("IF EXISTS (SELECT 1 FROM IC_Web2ERPOrdersEx WHERE FID = " + fid + ")\r\n");
  sb.Append("    BEGIN\r\n");
  sb.Append("        UPDATE IC_Web2ERPOrdersEx\r\n");
  sb.Append("        SET FIsLock = " + lock + ", FLockReason = '" + reason +
            "', FLockStatus = " + status + "\r\n");
  sb.Append("        WHERE FID = " + fid + "\r\n");
  sb.Append("    END\r\n");
  sb.Append("ELSE\r\n");
  sb.Append("    BEGIN\r\n");
  sb.Append(
      "        INSERT INTO IC_Web2ERPOrdersEx(FID,FOrderID,FLotNumber,FSerialNumber,FIsLock,"
      "FLockReason,FLockStatus)\r\n");
  sb.Append("        VALUES (" + fid + ",'',''," + "''," + lock + ",'" + reason + "'," + status +
            ")\r\n");
  sb.Append("    END\r\n");
  if (is_lock != 0) return;
  // Unlocking hands the order back to the shop: the ERP sales orders made from it are closed.
  const std::string source_where =
      "from SEOrder t0\r\n"
      "inner join SEOrderEntry t1 on t1.FInterID=t0.FInterID\r\n"
      "where t1.FSourceTranType=" + std::to_string(schema::code::kClassTypeWebOrder) +
      " and t1.FSourceInterId=" + fid + "\r\n";
  sb.Append("Update t0\r\n");
  sb.Append("Set t0.FClosed = 1,t0.FStatus=1\r\n");
  sb.Append(source_where);
  sb.Append("Update t1\r\n");
  sb.Append("Set t1.FMrpClosed=1,t1.FMrpAutoClosed=0\r\n");
  sb.Append(source_where);
}

}  // namespace

bool DeleteWebOrder(Component& self, const DictionaryPtr& dctPara) {
  if (MissingKeyList(dctPara)) return false;
  return RunDictionaryMethod(self, "DeleteWebOrder", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckedFids(dctPara);
    StringBuilder sb;
    sb.Append(" Delete FROM IC_Web2ERPOrdersEntry WHERE  FID In (" + fids + ")\r\n");
    sb.Append(" Delete FROM IC_Web2ERPOrders WHERE  FID In (" + fids + ")\r\n");
    m.conn().Execute(sb.ToString());
    sb.Clear();
    sb.Append(
        "Delete From IC_RefundRecord Where FEntryID <> 0 And FEntryID Not In (Select FEntryID "
        "From IC_Web2ERPOrdersEntry with(nolock)) \r\n");
    sb.Append(
        "Delete From IC_RefundInfo Where FEntryID <> 0 And FEntryID Not In (Select FEntryID "
        "From IC_Web2ERPOrdersEntry with(nolock)) \r\n");
    sb.Append("delete from IC_TradeLog where FOrderFID in (" + fids + ")\r\n");
    m.conn().Execute(sb.ToString());
    return true;
  });
}

bool SetWebOrderVoidStatus(Component& self, const DictionaryPtr& dctPara) {
  if (MissingKeyList(dctPara)) return false;
  return RunDictionaryMethod(self, "SetWebOrderVoidStatus", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckedFids(dctPara);
    std::string value = CheckKey(CStr(dctPara->GetValue("FVoidStatus", Variant(int32_t{0}))),
                                 "FVoidStatus");
    m.conn().Execute(" Update IC_Web2ERPOrders Set FVoidStatus=" + value + "  WHERE  FID In (" +
                     fids + ")\r\n");
    return true;
  });
}

bool SetWebOrderRowClose(Component& self, const DictionaryPtr& dctPara) {
  if (MissingKeyList(dctPara) || (dctPara && TextOrEmpty(dctPara->Value("FFIsRowClose")).empty()))
    return false;
  return RunDictionaryMethod(self, "SetWebOrderRowClose", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckedFids(dctPara);
    std::string value = CheckKey(CStr(dctPara->Value("FFIsRowClose")), "FFIsRowClose");
    StringBuilder sb;
    sb.Append(" Update iwee\r\n");
    sb.Append(" Set iwee.FIsRowClose = " + value + "\r\n");
    sb.Append(" FROM   IC_Web2ERPOrdersEntry iwee\r\n");
    sb.Append(" Where iwee.FID IN (" + fids + ")\r\n");
    m.conn().Execute(sb.ToString());
    return true;
  });
}

bool LockWebOrder(Component& self, const DictionaryPtr& dctPara) {
  if (!dctPara || dctPara->Count() == 0 || MissingKeyList(dctPara)) return false;
  return RunDictionaryMethod(self, "LockWebOrder", dctPara, false, [&](MethodScope& m) {
    std::string fids = CheckedFids(dctPara);
    int16_t is_lock = CInt(dctPara->GetValue("IsLock", Variant(int16_t{1})));
    int16_t lock_status = CInt(dctPara->GetValue("LockStatus", Variant(int16_t{1})));
    std::string reason = CStr(dctPara->GetValue("LockReason", Variant("")));
    std::erase(reason, '\'');
    reason = SqlQuote(reason);  // line breaks go too; no quote is left to double
    StringBuilder sb;
    int count = 0;
    for (const std::string& fid : SplitKeyList(fids)) {
      ++count;
      AppendLock(sb, fid, is_lock, reason, lock_status);
      if (count > kLockBatchThreshold) {
        m.conn().Execute(sb.ToString());
        sb.Clear();
        count = 0;
      }
    }
    if (sb.Length() > 0) m.conn().Execute(sb.ToString());
    return true;
  });
}

bool ChangeOrderItem(Component& self, const std::string& sDsn, const DictionaryPtr& dctItem) {
  if (!dctItem || TextOrEmpty(dctItem->Value("FID")).empty()) return false;
  const Variant& given = dctItem->Value("FItemID");
  if (given.IsEmpty() || (IsNumeric(given) && CDbl(given) == 0)) return false;
  return RunMethod(self, "ChangeOrderItem", sDsn, [&](MethodScope& m) {
    int32_t item = CLng(dctItem->GetValue("FItemID", Variant(int32_t{0})));
    std::string fids = CheckKeyList(CStr(dctItem->Value("FID")), "FID");
    std::string new_item = std::to_string(item);
    StringBuilder sb;
    if (IsLogEnable(m.conn(), std::to_string(oplog::kItemReplaced))) {
      int32_t user = GetLoginUserID(self.call_context());
      std::string address = GetClientAddress();
      std::string now = NowText();
      for (const std::string& fid : SplitKeyList(fids)) {
        AppendTradeLogSelectHead(sb, fid, user, std::to_string(oplog::kItemReplaced), address,
                                 now);
        sb.Append("t1.FName + '，单位：' + t3.FName,\r\n");
        sb.Append("t2.FName + '，单位：' + t4.FName\r\n");
        sb.Append("from IC_Web2ERPOrdersEntry t0\r\n");
        sb.Append("left join t_ICItem t1 on t1.FItemID = t0.FItemID\r\n");
        sb.Append("left join t_ICItem t2 on t2.FItemID = " + new_item + "\r\n");
        sb.Append("left join t_MeasureUnit t3 on t3.FItemID = t0.FUnitID\r\n");
        sb.Append("left join t_MeasureUnit t4 on t4.FItemID = t2.FUnitID\r\n");
        sb.Append("where t0.FID = " + fid + "\r\n");
      }
      m.conn().Execute(sb.ToString());
      sb.Clear();
    }
    sb.Append("DECLARE @FUnitID INT\r\n");
    sb.Append("SELECT @FUnitID = 0\r\n");
    sb.Append("SELECT @FUnitID = FUnitID FROM t_ICItem WHERE FItemID = " + new_item + "\r\n");
    sb.Append("UPDATE IC_Web2ERPOrdersEntry SET FUnitID = @FUnitID, FItemID = " + new_item +
              "\r\n");
    sb.Append("WHERE FID IN (" + fids + ")\r\n");
    m.conn().Execute(sb.ToString());
    return true;
  });
}

}  // namespace ambit
