#include "split/split_common.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "frame/unique_code.h"
#include "schema/names.h"
#include "split/part_send.h"

namespace ambit {
namespace {

// Header columns of a copied order, in the order they are written. The part-shipment copy
// stops after FOnlineSendDate.
constexpr std::string_view kHeaderColumns[] = {
    "FID", "FClassTypeID", "FOrderDate", "FWebshopID", "FSiteOrderID", "FOrderID",
    "FUniqueCode", "FOrderType", "FAmount", "FBuyerNick", "FBuyerName", "FConsignee",
    "FTelephone", "FZipCode", "FDeliveryAddress", "FLogisticsID", "FLogisticsComp",
    "FLogisticsOrder", "FLogisticsCost", "FWeight", "FTotalFreight", "FMergeOrder",
    "FMergeStatus", "FTransactionStatus", "FReasonsForFailure", "FAppraisalStatus",
    "FOrderStatus", "FCheckStatus", "FLockStatus", "FLockRem", "FIsPrintExpress",
    "FIsPrintSend", "FInvoiceStatus", "FInnerInvoice", "FChkMan", "FPickMan", "FShippingMan",
    "FPickRem", "FOrderRem", "FShippingRem", "FCreatedate", "FModifydate", "FTransCloseReason",
    "FStockID", "FOrderFlag", "FIsBuyerAppraisal", "FIsSellerAppraisal", "FIsPrintPick",
    "FLogisticsDate", "FDeliveryProvince", "FDeliveryCity", "FDeliveryDistrict",
    "FSiteOrderDate", "FSiteEndDate", "FSitePayDate", "FAmountOld", "FBuyerFreightOld",
    "FMobile", "FTransactionType", "FShippingType", "FSiteModifydate", "FBuyerCodfee",
    "FWeightStatus", "FPrintExpressCount", "FPrintSendCount", "FFeeBillNO", "FChkRem",
    "FOutStockBillNO", "FBalanceAmount", "FBuyerMessage", "FSellerMessage", "FPreOrderRem",
    "FPreBuyerMessage", "FSendType", "FDiscountFee", "FDelayDay", "FSendDate", "FServerNO",
    "FIsClaim", "FSrcNo", "FPreBuyerCodfee", "FPreDiscountFee", "FBiller", "FPickDate",
    "FIsExport", "FLockMan", "FShippingID", "FIsAssignedExpress", "FBuyerEMail", "FChkDate",
    "FEmpID", "FPreChkMan", "FPreChkDate", "FTradeFrom", "FOnlineSendDate", "FBuyerPayMode",
    "FIsCod", "FfenxiaoSendid", "FInvoiceName", "FIs_jzservice_order", "FCurrencyID",
    "FBillDiscountFee", "FDeliveryTime"};
constexpr std::string_view kLastShortHeaderColumn = "FOnlineSendDate";

// Line columns of a copied line (the key is the table's identity and is not written).
constexpr std::string_view kLineColumns[] = {
    "FID", "FIndex", "FSiteOrderID", "FOrderID", "FItemID", "FUnitID", "FQuantity", "FBatchNo",
    "FSPID", "FAttrCode", "FAttrType", "FPrice", "FAmount", "FStockID", "FBuyerMessage",
    "FSellerMessage", "FStatus", "FRealStock", "FAvailStock", "FCreatedate", "FModifydate",
    "FBuyerAppraisal", "FBuyerAppraisalText", "FSellerAppraisal", "FSellerAppraisalText",
    "FChildOrderID", "FPreParentID", "FRefundStatus", "FRefundID", "FRefundAmount",
    "FRefusedQuantity", "FRefuseddate", "FBackWarehouse", "FBackMan", "FNumID", "FSKUID",
    "FBackChangeQuantity", "FIsFree", "FDiscountFee", "FIsProductMeal", "FMealID", "FMealName",
    "FRefuseRem", "FChangeRem", "FSaleStatus", "FApplyDate", "FApplyRem", "FRateStatus",
    "FCheckedQuantity", "FBuyerFreight", "FBarCode", "FReceiptQty", "FRowClosed", "FIsRowClose",
    "FAuxQtyInvoice", "FID_SRC", "FEntryID_SRC", "FClassID_SRC", "FBillNO_SRC",
    "FAfterDiscountAmount", "FPackagedGoods", "FPackagedGoodsFIndex", "FOuterID",
    "FOnlineTitle", "FRefundStatusDetails", "FTaxRate", "FUpLoadStatus", "FIsShShip",
    "FEntryBillDiscountFee", "FPromotionID", "FServiceStatus", "FServiceType",
    "FServiceSource", "FRefundFID", "FOrderFrom", "FIs_jzservice_order"};

template <size_t N>
std::string CopySql(const char* table, const std::string_view (&columns)[N],
                    std::string_view last, const ColumnValues& values,
                    const std::string& where) {
  std::string names;
  std::string selected;
  for (std::string_view column : columns) {
    if (!names.empty()) {
      names += ",";
      selected += ",";
    }
    names += column;
    auto it = values.find(column);
    selected += it == values.end() ? std::string(column) : it->second;
    if (column == last) break;
  }
  return std::string("Insert into ") + table + "(" + names + ")\r\nselect " + selected +
         "\r\nFROM " + table + " WHERE " + where + "\r\n";
}

std::string QuotedOrder(const std::string& order_id) { return "'" + SqlQuote(order_id) + "'"; }

}  // namespace

SplitOrigin ReadOrigin(DictionaryPtr& dctPara) {
  if (!dctPara) dctPara = NewDictionary();
  if (!dctPara->Lookup("Origin")) dctPara->SetValue("Origin", Variant(int16_t{0}));
  return {CInt(dctPara->Value("Origin"))};
}

std::string PositiveKey(const Variant& key) {
  if (!IsNumeric(key) || key.IsEmpty()) return "";
  double value = CDbl(key);
  if (!(value > 0) || value > std::numeric_limits<int32_t>::max()) return "";
  int32_t number = CLng(key);
  return number > 0 ? std::to_string(number) : "";
}

std::vector<std::string> PositiveKeys(const VectorPtr& keys) {
  std::vector<std::string> out;
  if (!keys) return out;
  for (const Variant& item : keys->items()) {
    std::string key = PositiveKey(item);
    if (!key.empty()) out.push_back(key);
  }
  return out;
}

int64_t Cents(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return 0;
  return std::llround(CDbl(value) * 100.0);
}

std::string MoneyText(int64_t cents) {
  int64_t magnitude = std::llabs(cents);
  std::string fraction = std::to_string(magnitude % 100);
  if (fraction.size() < 2) fraction = "0" + fraction;
  return (cents < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + fraction;
}

int64_t ShareCents(int64_t value, double part, double whole) {
  if (whole == 0) return 0;
  return std::llround(static_cast<double>(value) * part / whole);
}

LineMoney LineMoney::FromRow(Recordset& rs) {
  LineMoney m;
  m.amount = Cents(rs.Value("FAmount"));
  m.discount = Cents(rs.Value("FDiscountFee"));
  m.after_discount = Cents(rs.Value("FAfterDiscountAmount"));
  m.freight = Cents(rs.Value("FBuyerFreight"));
  m.bill_discount = Cents(rs.Value("FEntryBillDiscountFee"));
  return m;
}

LineMoney LineMoney::FromHeader(Recordset& rs) {
  LineMoney m;
  m.amount = Cents(rs.Value("FAmount"));
  m.discount = Cents(rs.Value("FDiscountFee"));
  m.freight = Cents(rs.Value("FTotalFreight"));
  m.bill_discount = Cents(rs.Value("FBillDiscountFee"));
  return m;
}

LineMoney LineMoney::Share(double part, double whole) const {
  return {ShareCents(amount, part, whole), ShareCents(discount, part, whole),
          ShareCents(after_discount, part, whole), ShareCents(freight, part, whole),
          ShareCents(bill_discount, part, whole)};
}

LineMoney& LineMoney::operator+=(const LineMoney& o) {
  amount += o.amount;
  discount += o.discount;
  after_discount += o.after_discount;
  freight += o.freight;
  bill_discount += o.bill_discount;
  return *this;
}

LineMoney& LineMoney::operator-=(const LineMoney& o) {
  amount -= o.amount;
  discount -= o.discount;
  after_discount -= o.after_discount;
  freight -= o.freight;
  bill_discount -= o.bill_discount;
  return *this;
}

void SplitPlan::Add(std::string sql) { steps_.push_back({Kind::kStatement, std::move(sql)}); }

int SplitPlan::ReserveCodes(int count) {
  if (count > std::numeric_limits<int16_t>::max())
    throw ComError(err::kOverflow, "ambit-order",
                   "Cannot reserve " + std::to_string(count) + " unique codes at once.");
  steps_.push_back({Kind::kReserve, "", blocks_, count});
  return blocks_++;
}

void SplitPlan::AddUniqueCode(int block, int offset, const std::string& order_id) {
  steps_.push_back({Kind::kUniqueCode, order_id, block, offset});
}

void SplitPlan::Run(Component& self, Connection& conn) const {
  std::vector<int32_t> first_serial(blocks_, 0);
  for (const Step& step : steps_) {
    switch (step.kind) {
      case Kind::kStatement:
        conn.Execute(step.text);
        break;
      case Kind::kReserve:
        first_serial[step.block] =
            GetOrderUniqueID_New(self, conn, static_cast<int16_t>(step.number));
        break;
      case Kind::kUniqueCode:
        conn.Execute(" declare @varUniqueCode as varchar(50)\r\n"
                     " set @varUniqueCode=CONVERT(VARCHAR(6),GETDATE(),112) +'" +
                     std::to_string(first_serial[step.block] + step.number) + "'\r\n" +
                     " Update IC_Web2ERPOrders Set FUniqueCode=@varUniqueCode WHERE FOrderID =" +
                     QuotedOrder(step.text) + "\r\n");
        break;
    }
  }
}

std::string OrderHeaderCopySql(const std::string& source_fid, const ColumnValues& values,
                               bool short_list) {
  return "Declare @lMaxNUm int\r\nexec GetICMaxNum 'IC_Web2ERPOrders', @lMaxNUm output\r\n" +
         CopySql(schema::table::kTableWeb2ERPOrders, kHeaderColumns,
                 short_list ? kLastShortHeaderColumn : std::string_view(), values,
                 "FID = " + source_fid);
}

std::string OrderLineCopySql(const std::string& entry_id, const ColumnValues& values) {
  return CopySql(schema::table::kTableWeb2ERPOrdersEntry, kLineColumns, std::string_view(), values,
                 "FEntryID = " + entry_id);
}

std::string CompanionRowSql(const std::string& source_fid) {
  return " insert IC_Web2ERPOrdersEx(FID,FOrderID,FLotNumber,FSerialNumber,FCreateDate,"
         "FAddressReachable) \r\n"
         " values ( @lMaxNUm ,'','','',GETDATE(),4)\r\n"
         " IF EXISTS ( select 1 from IC_Web2ERPOrdersEx where FID =" + source_fid + ")\r\n"
         " Begin\r\n"
         "     update IC_Web2ERPOrdersEx set FAddressReachable= (select FAddressReachable from "
         "IC_Web2ERPOrdersEx where FID =" + source_fid + ")\r\n"
         "     where FID = @lMaxNUm \r\n"
         " End\r\n";
}

std::string StockBillFollowSql(const std::string& entry_condition) {
  return "update t0 set t0.FSourceInterId=t1.FID\r\n"
         "from ICStockBillEntry t0\r\n"
         "left join IC_Web2ERPOrdersEntry t1 on t1.FEntryID=t0.FSourceEntryID \r\n"
         "where t0.FSourceEntryID" + entry_condition + " and t0.FSourceTranType=" +
         std::to_string(schema::code::kClassTypeWebOrderEntry) + "\r\n";
}

const SplitFinisher::Trade& SplitFinisher::ReadTrade(const std::string& site_order_id) {
  auto found = trades_.find(site_order_id);
  if (found != trades_.end()) return found->second;
  Trade trade;
  RecordsetPtr rs = conn_.Execute(
      "select  isnull(t1.FWebShopID,'')as FWebShopID,isnull(t1.FWebShopFID,'')as FWebShopFID, "
      "ISNULL(t1.FPayTime, cast('1900/1/1' AS DATETIME))  as FPayTime,t1.FModifiedTime,"
      "t1.FCreatedTime as FOrderDate,isnull(t1.FStatus,'TRADE_OTHER') as FStatus from  "
      "IC_Trade t1 where t1.FTID ='" + SqlQuote(site_order_id) + "'");
  if (rs->IsOpen() && !rs->Eof()) {
    trade = {true,
             rs->Value("FWebShopID"),
             rs->Value("FWebShopFID"),
             rs->Value("FPayTime"),
             rs->Value("FModifiedTime"),
             rs->Value("FOrderDate"),
             rs->Value("FStatus")};
  }
  return trades_.emplace(site_order_id, std::move(trade)).first->second;
}

void SplitFinisher::RefreshTrade(const std::string& site_order_id,
                                 const std::string& child_order_id) {
  if (site_order_id.empty()) return;
  const Trade& trade = ReadTrade(site_order_id);
  if (!trade.found) return;
  std::string status = CStr(trade.status);
  if (status == "TRADE_SELLER_CONSIGNED_PART") {
    // A part-shipped trade takes the state of this line's own sub-order; without one it keeps
    // the trade's.
    std::string key = site_order_id + '\n' + child_order_id;
    auto it = sub_order_status_.find(key);
    if (it == sub_order_status_.end()) {
      RecordsetPtr rs = conn_.Execute("Select FStatus From Ic_weborder where ftradeid = '" +
                                      SqlQuote(site_order_id) + "' And foid = '" +
                                      SqlQuote(child_order_id) + "'");
      std::string sub = status;
      if (rs->IsOpen() && !rs->Eof() && !rs->Value(0).IsNull()) sub = CStr(rs->Value(0));
      it = sub_order_status_.emplace(key, sub).first;
    }
    status = it->second;
  }
  const Variant& fid = trade.shop_fid;
  int32_t shop_fid = IsNumeric(fid) && !fid.IsEmpty() && CStr(fid) != "" ? CLng(fid) : 0;
  plan_.Add(UpdateWeb2ERPOrdersSplitOneEntrySQL(site_order_id, CStr(trade.shop_id), shop_fid,
                                                trade.pay_time, trade.modified_time,
                                                trade.order_date, status));
}

void SplitFinisher::Finish(const std::string& order_id, bool first, int code_block,
                           int code_offset) {
  if (origin_.gives_codes()) plan_.AddUniqueCode(code_block, code_offset, order_id);
  if (!first) {
    plan_.Add("Update IC_Web2ERPOrders Set FLogisticsOrder ='',FWeight =0,FLogisticsCost=0  "
              "WHERE FOrderID =" + QuotedOrder(order_id));
    return;
  }
  plan_.Add("Update IC_Web2ERPOrders Set FWeight =0,FLogisticsCost=0  WHERE FOrderID =" +
            QuotedOrder(order_id));
  // The first order keeps the source's waybill number unless the carrier prints electronic
  // waybills, whose numbers are tied to one parcel.
  std::string partner_numbers = rule_ == WaybillRule::kWithPartnerNumbers
                                    ? "\r\nor (t2.FNumber = 'YXSR-LL' OR t2.FNumber = 'YXSR-CW'))"
                                    : ")";
  plan_.Add("UPDATE t1\r\n"
            "SET t1.FLogisticsOrder =''\r\n"
            "FROM IC_Web2ERPOrders t1\r\n"
            "LEFT JOIN IC_Logistics t2 ON t1.FLogisticsID = t2.FItemID\r\n"
            "LEFT JOIN IC_LogisticsSetElectronic t3 on t2.FNumber =t3.FNumber\r\n"
            "WHERE (((t2.FNumber = 'SF' OR t2.FNumber = 'JD') AND t2.FPrintType = 1)\r\n"
            "or (ISNULL(t3.FNumber,'')<>'' and t3.FPrintType =1)" +
            partner_numbers + "\r\nAND t1.FOrderID =" + QuotedOrder(order_id));
}


std::string JoinTwoBlanks(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += "  ";
    out += items[i];
  }
  return out;
}

}  // namespace ambit
