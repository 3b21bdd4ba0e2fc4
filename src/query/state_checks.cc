#include "query/state_checks.h"

#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "query/lookups_internal.h"

namespace ambit {
namespace {

using lookups_internal::KeyItems;
using lookups_internal::Line;

// Keys per insert batch: long selections would otherwise make one huge batch.
constexpr int kInsertsPerBatch = 200;

// The head the partner-shipping checks share.
void OrdersHead(StringBuilder& sb) {
  Line(sb, "SELECT t1.FID,t1.FOrderID");
  Line(sb, "FROM IC_Web2ERPOrders t1 ");
  Line(sb, "INNER JOIN #TempLockID t2 ON t1.FID=t2.FID");
}

}  // namespace

VectorPtr CheckWebOrderSqlDefined(Component& self, const std::string& sDsn,
                                  const std::string& sFID, const std::string& query) {
  if (sDsn.empty()) return nullptr;
  return RunMethod(self, "CheckWebOrderSqlDefined", sDsn, [&](MethodScope& m) {
    std::vector<std::string> keys = KeyItems(sFID, "sFID");
    StringBuilder sb;
    Line(sb, " IF OBJECT_ID(N'tempdb..#TempLockID',N'U') IS NOT NULL ");
    Line(sb, " Begin ");
    Line(sb, "       DROP TABLE #TempLockID ");
    Line(sb, " End ");
    Line(sb, " CREATE TABLE #TempLockID(FID INT)");
    int inserts = 0;
    for (const std::string& key : keys) {
      Line(sb, " Insert INTO #TempLockID (FID) ");
      Line(sb, " VALUES(" + key + ")");
      if (++inserts % kInsertsPerBatch == 0) {
        m.conn().Execute(sb.ToString());
        sb.Clear();
      }
    }
    // Runs even for an empty selection, so that the query finds its (empty) table.
    if (sb.Length() > 0) m.conn().Execute(sb.ToString());

    StringBuilder run;
    Line(run, " SET TRANSACTION ISOLATION LEVEL READ UNCOMMITTED ");
    run.Append(query);
    Line(run, "DROP TABLE #TempLockID");
    RecordsetPtr rs = m.conn().Execute(run.ToString());
    return RecordsetToVector(*rs);
  });
}

VectorPtr CheckWebOrderIsLock(Component& self, const std::string& sDsn, const std::string& sFID) {
  StringBuilder sb;
  Line(sb, "SELECT t1.FID,t3.FOrderID");
  Line(sb, "FROM IC_Web2ERPOrdersEx t1");
  Line(sb, "INNER JOIN #TempLockID t2 ON t1.FID=t2.FID");
  Line(sb, "INNER JOIN IC_Web2ERPOrders t3 ON t1.FID=t3.FID");
  Line(sb, "WHERE t1.FIsLock = 1");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr CheckWebOrderEntryAllIsShShip(Component& self, const std::string& sDsn,
                                        const std::string& sFID) {
  StringBuilder sb;
  OrdersHead(sb);
  Line(sb, "where Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsFree =0 "
           "and FIsShShip=0)");
  Line(sb, "and Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsShShip=1)");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr ConfirmWebIsShipOrderMultipleStock(Component& self, const std::string& sDsn,
                                             const std::string& sFID) {
  StringBuilder sb;
  OrdersHead(sb);
  Line(sb, "where Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsShShip=1) ");
  Line(sb, "and Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID group by FID "
           "having COUNT(distinct FStockID)>1)");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr CheckWebIsShShipOrderIsDelivered(Component& self, const std::string& sDsn,
                                           const std::string& sFID) {
  StringBuilder sb;
  OrdersHead(sb);
  Line(sb, "WHERE t1.FTransactionStatus Not in ('38193','38194','38195','38196','38198')");
  Line(sb, "AND Exists (select 1 from IC_Web2ERPOrdersEntry en ");
  Line(sb, "           inner join t_Item it on en.FStockID=it.FItemID and it.FItemClassID=5 and "
           "en.FIsShShip=1 and en.FID=t1.FID");
  Line(sb, "           inner join t_Item itp on it.FParentID=itp.FItemID and itp.FItemClassID =5 "
           "and itp.FNumber='CAINIAO') ");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr CheckWebHaveIsShShipFlag(Component& self, const std::string& sDsn,
                                   const std::string& sFID) {
  StringBuilder sb;
  OrdersHead(sb);
  Line(sb, "WHERE Exists (select 1 from IC_Web2ERPOrdersEntry en ");
  Line(sb, "          where en.FIsShShip=1 and t1.FID=en.FID)");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr CheckDelieveryShShip(Component& self, const std::string& sDsn, const std::string& sFID) {
  StringBuilder sb;
  // No partner-shipped line at all.
  Line(sb, "  select t1.FID,t2.FOrderID,'订单包含非菜鸟自动流转订单！'  FMsg ");
  Line(sb, "  from #TempLockID t1 inner join IC_Web2ERPOrders t2 on t1.FID=t2.FID  ");
  Line(sb, "  WHERE not Exists (select 1 from IC_Web2ERPOrdersEntry where t1.FID=FID and "
           "FIsShShip=1)  ");
  Line(sb, "  Union ALL ");
  // Partner-shipped, trade not finished.
  Line(sb, "  select t1.FID,t1.FOrderID,'订单还未发货，请等待菜鸟发货后再操作！' from "
           "IC_Web2ERPOrders t1  ");
  Line(sb, "  inner join #TempLockID t2 on t1.FID=t2.FID   ");
  Line(sb, "  WHERE t1.FTransactionStatus Not in ('38193','38194','38195','38196','38198')  ");
  Line(sb, "  and Exists (select 1 from IC_Web2ERPOrdersEntry where t1.FID=FID and FIsShShip=1)  ");
  Line(sb, "  Union ALL ");
  // One row per line whose warehouse is outside the partner's group.
  Line(sb, "  select t1.FID,t2.FOrderID,'订单仓库不是菜鸟自动流转仓！' from   ");
  Line(sb, "  IC_Web2ERPOrdersEntry t1   inner join #TempLockID t4 on t1.FID=t4.FID ");
  Line(sb, "  inner join IC_Web2ERPOrders t2 on t1.FID =t2.FID   ");
  Line(sb, "  inner join t_Stock t3 on t1.FStockID=t3.FItemID   ");
  Line(sb, "  where Not Exists (select 1 from t_item where FItemClassID =5 and FNumber='CAINIAO' "
           "and t_item.FItemID =t3.FParentID)  ");
  Line(sb, "  and Exists (select 1 from IC_Web2ERPOrdersEntry where t1.FID=FID and FIsShShip=1)  ");
  Line(sb, "  Union ALL ");
  // Sold lines that the partner does not ship.
  Line(sb, "  SELECT t1.FID,t1.FOrderID,'订单存在非菜鸟流转的非赠品商品，请拆分后再操作！'");
  Line(sb, "  FROM IC_Web2ERPOrders t1 ");
  Line(sb, "  INNER JOIN #TempLockID t2 ON t1.FID=t2.FID");
  Line(sb, "  where Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsFree =0 "
           "and FIsShShip=0)");
  Line(sb, "  and Exists (select 1 from IC_Web2ERPOrdersEntry where FID=t1.FID and FIsShShip=1)");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

VectorPtr GetStockOutResult(Component& self, const std::string& sDsn, const std::string& sFID) {
  StringBuilder sb;
  Line(sb, "SELECT t1.FID,t3.FOrderID,t1.FStockBillStatus,t1.FStockBillResult");
  Line(sb, "FROM IC_StockBillOrdersStatus t1 ");
  Line(sb, "INNER JOIN #TempLockID t2 ON t1.FID=t2.FID");
  Line(sb, "INNER JOIN IC_Web2ERPOrders t3 ON t1.FID=t3.FID");
  Line(sb, "Order By t1.FStockBillStatus desc");
  return CheckWebOrderSqlDefined(self, sDsn, sFID, sb.ToString());
}

}  // namespace ambit
