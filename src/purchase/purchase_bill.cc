// Purchase requests (type 70: POrequest / POrequestEntry) and purchase orders (POOrder /
// POOrderEntry) written from the client's head and line Dictionaries, and the lookups the
// client assembles them with.
#include "purchase/purchase_bill.h"

#include <algorithm>
#include <ctime>
#include <string_view>

#include "base/conversions.h"
#include "base/text.h"
#include "data/command.h"
#include "frame/host_services.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "purchase/bill_code_rule.h"
#include "purchase/purchase_internal.h"

namespace ambit {
namespace {

using purchase_internal::NumberLiteral;

// How a column's value is written: the Dictionary's value bare (a number) or quoted, the
// server's date, or Null.
enum class Cell { kNumber, kText, kToday, kNull };

struct Column {
  const char* name;
  Cell cell;
};

constexpr char kToday[] = "CONVERT(VarChar(11), getdate(), 120)";

constexpr Column kRequestHead[] = {
    {"FInterID", Cell::kNumber}, {"FBillNo", Cell::kText}, {"FBrNo", Cell::kText},
    {"FTranType", Cell::kNumber}, {"FCancellation", Cell::kNumber}, {"FStatus", Cell::kNumber},
    {"Fdate", Cell::kToday}, {"FDeptID", Cell::kNumber}, {"FBizType", Cell::kNumber},
    {"Fnote", Cell::kText}, {"FRequesterID", Cell::kNumber}, {"FCheckTime", Cell::kNull},
    {"FBillerID", Cell::kNumber}, {"FMRP", Cell::kNumber}, {"FMultiCheckDate1", Cell::kNull},
    {"FMultiCheckDate2", Cell::kNull}, {"FMultiCheckDate3", Cell::kNull},
    {"FMultiCheckDate4", Cell::kNull}, {"FMultiCheckDate5", Cell::kNull},
    {"FMultiCheckDate6", Cell::kNull}, {"FSelTranType", Cell::kNumber},
    {"FPOStyle", Cell::kNumber}, {"FPrintCount", Cell::kNumber}};

constexpr Column kRequestLine[] = {
    {"FInterID", Cell::kNumber}, {"FEntryID", Cell::kNumber}, {"FBrNo", Cell::kText},
    {"FItemID", Cell::kNumber}, {"FAuxPropID", Cell::kNumber}, {"FQty", Cell::kNumber},
    {"FUnitID", Cell::kNumber}, {"Fauxqty", Cell::kNumber}, {"FSecCoefficient", Cell::kNumber},
    {"FSecQty", Cell::kNumber}, {"FAPurchTime", Cell::kToday}, {"FBomInterID", Cell::kNumber},
    {"Fuse", Cell::kText}, {"FFetchTime", Cell::kToday}, {"FPlanOrderInterID", Cell::kNumber},
    {"FSourceBillNo", Cell::kText}, {"FSourceTranType", Cell::kNumber},
    {"FSourceInterId", Cell::kNumber}, {"FSourceEntryID", Cell::kNumber},
    {"FMrpLockFlag", Cell::kNumber}, {"FPlanMode", Cell::kNumber}, {"FMTONo", Cell::kText},
    {"FSupplyID", Cell::kNumber}};

constexpr Column kOrderLine[] = {
    {"FInterID", Cell::kNumber}, {"FEntryID", Cell::kNumber}, {"FBrNo", Cell::kText},
    {"FMapNumber", Cell::kText}, {"FMapName", Cell::kText}, {"FItemID", Cell::kNumber},
    {"FAuxPropID", Cell::kNumber}, {"FQty", Cell::kNumber}, {"FUnitID", Cell::kNumber},
    {"FAuxQty", Cell::kNumber}, {"FSecCoefficient", Cell::kNumber}, {"FSecQty", Cell::kNumber},
    {"Fauxprice", Cell::kNumber}, {"FAuxTaxPrice", Cell::kNumber}, {"FAmount", Cell::kNumber},
    {"FTaxRate", Cell::kNumber}, {"FAuxPriceDiscount", Cell::kNumber},
    {"FDescount", Cell::kNumber}, {"FCess", Cell::kNumber}, {"FTaxAmount", Cell::kNumber},
    {"FAllAmount", Cell::kNumber}, {"Fdate", Cell::kToday}, {"Fnote", Cell::kText},
    {"FSourceBillNo", Cell::kText}, {"FSourceTranType", Cell::kNumber},
    {"FSourceInterId", Cell::kNumber}, {"FSourceEntryID", Cell::kNumber},
    {"FContractBillNo", Cell::kText}, {"FContractInterID", Cell::kNumber},
    {"FContractEntryID", Cell::kNumber}, {"FAuxQtyInvoice", Cell::kNumber},
    {"FSecInvoiceQty", Cell::kNumber}, {"FQtyInvoice", Cell::kNumber},
    {"FMrpLockFlag", Cell::kNumber}, {"FReceiveAmountFor_Commit", Cell::kNumber},
    {"FPlanMode", Cell::kNumber}, {"FMTONo", Cell::kText}};

constexpr Column kOrderHead[] = {
    {"FInterID", Cell::kNumber}, {"FBillNo", Cell::kText}, {"FBrNo", Cell::kText},
    {"FTranType", Cell::kNumber}, {"FCancellation", Cell::kNumber}, {"FStatus", Cell::kNumber},
    {"FSupplyID", Cell::kNumber}, {"Fdate", Cell::kToday}, {"FCurrencyID", Cell::kNumber},
    {"FCheckDate", Cell::kNull}, {"FMangerID", Cell::kNumber}, {"FDeptID", Cell::kNumber},
    {"FEmpID", Cell::kNumber}, {"FBillerID", Cell::kNumber}, {"FExchangeRate", Cell::kNumber},
    {"FPOStyle", Cell::kNumber}, {"FRelateBrID", Cell::kNumber},
    {"FMultiCheckDate1", Cell::kNull}, {"FMultiCheckDate2", Cell::kNull},
    {"FMultiCheckDate3", Cell::kNull}, {"FMultiCheckDate4", Cell::kNull},
    {"FMultiCheckDate5", Cell::kNull}, {"FMultiCheckDate6", Cell::kNull},
    {"FSelTranType", Cell::kNumber}, {"FBrID", Cell::kNumber}, {"FExplanation", Cell::kText},
    {"FSettleID", Cell::kNumber}, {"FSettleDate", Cell::kToday}, {"FAreaPS", Cell::kNumber},
    {"FPOOrdBillNo", Cell::kText}, {"FManageType", Cell::kNumber},
    {"FSysStatus", Cell::kNumber}, {"FValidaterName", Cell::kText},
    {"FConsignee", Cell::kNumber}, {"FVersionNo", Cell::kText}, {"FChangeDate", Cell::kNull},
    {"FChangeUser", Cell::kNumber}, {"FChangeCauses", Cell::kText},
    {"FChangeMark", Cell::kText}, {"FPrintCount", Cell::kNumber}};

template <size_t N>
void AppendInsert(StringBuilder& sb, const char* table, const Column (&columns)[N],
                  const Dictionary& values) {
  std::string names, cells;
  for (const Column& c : columns) {
    names += (names.empty() ? "" : ",") + std::string(c.name);
    std::string cell;
    switch (c.cell) {
      case Cell::kNumber: cell = NumberLiteral(values.Value(c.name), c.name); break;
      case Cell::kText: cell = "'" + SqlQuote(CStr(values.Value(c.name))) + "'"; break;
      case Cell::kToday: cell = kToday; break;
      case Cell::kNull: cell = "Null"; break;
    }
    cells += (cells.empty() ? "" : ",") + cell;
  }
  sb.Append("INSERT INTO " + std::string(table) + "(" + names + ")\r\n");
  sb.Append("VALUES ( " + cells + ")\r\n");
}

template <size_t N>
void AppendLines(StringBuilder& sb, const char* table, const Column (&columns)[N],
                 const Vector& lines) {
  for (const Variant& line : lines.items())
    AppendInsert(sb, table, columns, *purchase_internal::RowDictionary(line, "vctParaEntry"));
}

// FValue of an 'EC' parameter read through `sql`: 0 when no recordset comes back; a missing
// row fails on the read, as the database layer reports it.
int32_t ProfileNumber(Component& self, const char* method, const std::string& sDsn,
                      const char* sql) {
  return RunMethod(self, method, sDsn, [&](MethodScope& m) -> int32_t {
    RecordsetPtr rs = m.conn().Execute(sql);
    if (!rs || !rs->IsOpen()) return 0;
    return CLng(rs->Value("FValue"));
  });
}

Date Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return MakeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

}  // namespace

std::vector<std::pair<const char*, bool>> PurchaseHeadKeys() {
  std::vector<std::pair<const char*, bool>> keys;
  auto add = [&keys](const auto& columns) {
    for (const Column& c : columns) {
      if (c.cell != Cell::kNumber && c.cell != Cell::kText) continue;
      bool known = std::any_of(keys.begin(), keys.end(), [&](const auto& k) {
        return std::string_view(k.first) == c.name;
      });
      if (!known) keys.emplace_back(c.name, c.cell == Cell::kNumber);
    }
  };
  add(kRequestHead);
  add(kOrderHead);
  return keys;
}

bool SavePurchaseApplyBill(Component& self, const std::string& sDsn, int32_t lTranType,
                           const DictionaryPtr& dctParaHead, const VectorPtr& vctParaEntry) {
  // A bill without lines is as useless to the ERP as one without a head.
  if (!dctParaHead || !vctParaEntry || vctParaEntry->Count() == 0) return false;
  return RunMethod(self, "SavePurchaseApplyBill", sDsn, [&](MethodScope& m) {
    StringBuilder sb;
    if (lTranType == kTranTypePurchaseRequest) {
      AppendInsert(sb, "POrequest", kRequestHead, *dctParaHead);
      AppendLines(sb, "POrequestEntry", kRequestLine, *vctParaEntry);
    } else {
      // The link procedure reads the order's lines, so they go in before it runs; the head
      // follows in the same batch.
      AppendLines(sb, "POOrderEntry", kOrderLine, *vctParaEntry);
      sb.Append(" EXEC p_UpdateBillRelateData " + std::to_string(lTranType) + "," +
                NumberLiteral(dctParaHead->Value("FInterID"), "FInterID") +
                ",'POOrder','POOrderEntry' \r\n");
      AppendInsert(sb, "POOrder", kOrderHead, *dctParaHead);
    }
    purchase_internal::ExecuteAtomically(m.conn(), sb.ToString());
    return true;
  });
}

int32_t GetMaxNum(Component& self, const std::string& sDsn, int32_t sUserID,
                  const std::string& strName) {
  // No method frame: the numbering procedure's own error is what the client must see.
  frame_internal::BeginFrame(self);
  MethodScope m = frame_internal::OpenScope(self, sDsn);
  Command cmd;
  cmd.active_connection = m.connection;
  cmd.command_type = CommandType::kStoredProc;
  cmd.command_text = "GetICMaxNum";
  cmd.AddParameter("@TableName", DataType::kVarChar, ParameterDirection::kInput, 50,
                   Variant(strName));
  cmd.AddParameter("@FInterID", DataType::kInteger, ParameterDirection::kOutput);
  cmd.AddParameter("", DataType::kInteger, ParameterDirection::kInput, 0, Variant(int32_t{1}));
  cmd.AddParameter("@UserID", DataType::kInteger, ParameterDirection::kInput, 0,
                   Variant(sUserID));
  cmd.Execute();
  return CLng(Variant(std::string(TrimBlanks(CStr(cmd.parameters[1].value)))));
}

std::string GetThisBillNO(Component& /*self*/, const std::string& sDsn, int32_t BillTransType,
                          bool& UpdateMaxNO, const DictionaryPtr& vdict,
                          const DictionaryPtr& vDictMore) {
  DictionaryPtr bill = vdict;
  if (!bill) {
    bill = NewDictionary();
    bill->SetValue("FBillType", Variant(BillTransType));
    bill->SetValue("FDate", Variant(Today()));
  }
  auto rule = RequireInterface<BillCodeRule>(CreateHostObject(kProgIdBillCodeRule),
                                             "GetNewBillID");
  return rule->GetNewBillID(sDsn, bill, UpdateMaxNO, Variant(), Variant(), vDictMore);
}

int32_t GetDefaultDepartment(Component& self, const std::string& sDsn) {
  return ProfileNumber(self, "GetDefaultDepartment", sDsn,
                       "SELECT  FValue  From t_SystemProfile Where  FCategory='EC' and  "
                       "FKey='Department'");
}

int32_t GetDefaultStaff(Component& self, const std::string& sDsn) {
  return ProfileNumber(self, "GetDefaultStaff", sDsn,
                       " SELECT  FValue  From t_SystemProfile Where  FCategory='EC' and  "
                       "FKey='Staff'");
}

int32_t GetPurChaseStyleOrArea(Component& self, const std::string& sDsn, int32_t lClass) {
  if (lClass != kPurchaseStyleClass) return kDefaultPurchaseArea;
  return RunMethod(self, "GetPurChaseStyleOrArea", sDsn, [&](MethodScope& m) -> int32_t {
    RecordsetPtr rs =
        m.conn().Execute("SELECT FInterID FROM t_SubMessage WHERE FID='PO02' AND FTypeID=162");
    if (!rs || !rs->IsOpen()) return 0;
    return CLng(rs->Value("FInterID"));
  });
}

}  // namespace ambit
