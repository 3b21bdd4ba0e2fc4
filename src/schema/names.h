// Names of the account's tables, views, procedures and columns, and the code values stored in
// its status columns. Order methods build SQL from these so that a code such as 38435 is
// spelt once, with its meaning.
#ifndef AMBIT_SCHEMA_NAMES_H_
#define AMBIT_SCHEMA_NAMES_H_

#include <string_view>

namespace ambit::schema {

namespace table {

// Web orders and their companions.
inline constexpr char kTableWeb2ERPOrders[] = "IC_Web2ERPOrders";
inline constexpr char kTableWeb2ERPOrdersEntry[] = "IC_Web2ERPOrdersEntry";
inline constexpr char kTableWeb2ERPOrdersEx[] = "IC_Web2ERPOrdersEx";
inline constexpr char kTableWeb2ErpOrdersEntryEx[] = "IC_web2ErpOrdersEntryEx";
inline constexpr char kTableWeb2ErpOrderSerial[] = "IC_Web2ErpOrderSerial";
inline constexpr char kTableStockBillOrdersStatus[] = "IC_StockBillOrdersStatus";
inline constexpr char kTableTrade[] = "IC_Trade";
inline constexpr char kTableWebOrder[] = "Ic_weborder";
// Shops, buyers, areas, logistics.
inline constexpr char kTableWebshopToStorage[] = "IC_WebshopToStorage";
inline constexpr char kTableWebShopAccessData[] = "IC_WebShopAccessData";
inline constexpr char kTableWebShopClient[] = "IC_WebShopClient";
inline constexpr char kTableSellerAddress[] = "IC_SellerAddress";
inline constexpr char kTableArea[] = "IC_Area";
inline constexpr char kTableLogistics[] = "IC_Logistics";
inline constexpr char kTableLogisticsSetElectronic[] = "IC_LogisticsSetElectronic";
inline constexpr char kTableLogisticsTraceState[] = "IC_LogisticsTraceState";
inline constexpr char kTableWebtplToStorage[] = "IC_WebtplToStorage";
inline constexpr char kTableTplStatusType[] = "IC_TplStatusType";
inline constexpr char kTableGoodsToMateriel[] = "IC_GoodsToMateriel";
inline constexpr char kTableSku[] = "IC_SKU";
inline constexpr char kTableCdpsActivity[] = "IC_CDPSActivity";
inline constexpr char kTableCdpsPromotion[] = "IC_CDPSPromotion";
// After-sales, receipts, operation log.
inline constexpr char kTableRefundInfo[] = "IC_RefundInfo";
inline constexpr char kTableRefundRecord[] = "IC_RefundRecord";
inline constexpr char kTableReceipt[] = "IC_Receipt";
inline constexpr char kTableReceiptEntry[] = "IC_ReceiptEntry";
inline constexpr char kTableTradeLog[] = "IC_TradeLog";
inline constexpr char kTableTradeLogType[] = "IC_TradeLogType";
// Workbench support and numbering.
inline constexpr char kTableWeb2ColumnsDefaultSet[] = "IC_Web2ColumnsDefaultSet";
inline constexpr char kTablePurchase[] = "IC_Purchase";
inline constexpr char kTablePurchaseEntry[] = "IC_PurchaseEntry";
inline constexpr char kTableIcMaxNumMonth[] = "IC_MaxNum";  // month of the unique codes
inline constexpr char kTableIcMaxNum[] = "ICMaxNum";        // counters of GetICMaxNum
inline constexpr char kTableClassTableInfo[] = "ICClassTableInfo";
inline constexpr char kTableClassType[] = "ICClassType";
inline constexpr char kTableBillNo[] = "ICBillNo";
// ERP base data.
inline constexpr char kTableUser[] = "t_User";
inline constexpr char kTableGroup[] = "t_Group";
inline constexpr char kTableEmp[] = "t_Emp";
inline constexpr char kTableDepartment[] = "t_Department";
inline constexpr char kTableCurrency[] = "t_Currency";
inline constexpr char kTableSupplier[] = "t_Supplier";
inline constexpr char kTableItem[] = "t_Item";
inline constexpr char kTableIcItem[] = "t_ICItem";
inline constexpr char kTableIcItemMaterial[] = "t_ICItemMaterial";
inline constexpr char kTableMeasureUnit[] = "t_MeasureUnit";
inline constexpr char kTableAuxItem[] = "t_AuxItem";
inline constexpr char kTableBarCode[] = "t_BarCode";
inline constexpr char kTableStock[] = "t_Stock";
inline constexpr char kTableStockPlace[] = "t_StockPlace";
inline constexpr char kTableInventory[] = "ICInventory";
inline constexpr char kTableSystemProfile[] = "t_SystemProfile";
inline constexpr char kTableRpSystemProfile[] = "t_RP_SystemProfile";
inline constexpr char kTableSubMessage[] = "t_SubMessage";
inline constexpr char kTableRpVoucherAndBill[] = "t_RPVoucherAndBill";
// ERP bills.
inline constexpr char kTableStockBill[] = "ICStockBill";
inline constexpr char kTableStockBillEntry[] = "ICStockBillEntry";
inline constexpr char kTableSeOrder[] = "SEOrder";
inline constexpr char kTableSeOrderEntry[] = "SEOrderEntry";
inline constexpr char kTableSale[] = "ICSale";
inline constexpr char kTableSaleEntry[] = "ICSaleEntry";
inline constexpr char kTablePoRequest[] = "POrequest";
inline constexpr char kTablePoRequestEntry[] = "POrequestEntry";
inline constexpr char kTablePoOrder[] = "POOrder";
inline constexpr char kTablePoOrderEntry[] = "POOrderEntry";
inline constexpr char kTablePoInStockEntry[] = "POInStockEntry";
inline constexpr char kTableBillRelations[] = "ICBillRelations";

inline constexpr std::string_view kAllTables[] = {
    kTableWeb2ERPOrders, kTableWeb2ERPOrdersEntry, kTableWeb2ERPOrdersEx,
    kTableWeb2ErpOrdersEntryEx, kTableWeb2ErpOrderSerial, kTableStockBillOrdersStatus,
    kTableTrade, kTableWebOrder, kTableWebshopToStorage, kTableWebShopAccessData,
    kTableWebShopClient, kTableSellerAddress, kTableArea, kTableLogistics,
    kTableLogisticsSetElectronic, kTableLogisticsTraceState, kTableWebtplToStorage,
    kTableTplStatusType, kTableGoodsToMateriel, kTableSku, kTableCdpsActivity,
    kTableCdpsPromotion, kTableRefundInfo, kTableRefundRecord, kTableReceipt,
    kTableReceiptEntry, kTableTradeLog, kTableTradeLogType, kTableWeb2ColumnsDefaultSet,
    kTablePurchase, kTablePurchaseEntry, kTableIcMaxNumMonth, kTableIcMaxNum,
    kTableClassTableInfo, kTableClassType, kTableBillNo, kTableUser, kTableGroup, kTableEmp,
    kTableDepartment, kTableCurrency, kTableSupplier, kTableItem, kTableIcItem,
    kTableIcItemMaterial, kTableMeasureUnit, kTableAuxItem, kTableBarCode, kTableStock,
    kTableStockPlace, kTableInventory, kTableSystemProfile, kTableRpSystemProfile,
    kTableSubMessage, kTableRpVoucherAndBill, kTableStockBill, kTableStockBillEntry,
    kTableSeOrder, kTableSeOrderEntry, kTableSale, kTableSaleEntry, kTablePoRequest,
    kTablePoRequestEntry, kTablePoOrder, kTablePoOrderEntry, kTablePoInStockEntry,
    kTableBillRelations,
};

}  // namespace table

namespace view {

inline constexpr char kViewWeb2ERPOrdersRefund[] = "vw_Web2ERPOrdersRefund";
inline constexpr char kViewWeb2ERPOrdersJZ[] = "vw_Web2ERPOrdersJZ";
inline constexpr char kViewPsPromotion[] = "vwICPSPromotion";

inline constexpr std::string_view kAllViews[] = {
    kViewWeb2ERPOrdersRefund, kViewWeb2ERPOrdersJZ, kViewPsPromotion};

}  // namespace view

namespace procedure {

inline constexpr char kProcGetICMaxNum[] = "GetICMaxNum";
inline constexpr char kProcReturnStockIDAndSPID[] = "P_ReturnStockIDAndSPID";
inline constexpr char kProcCheckWebOrder[] = "p_CheckWebOrder";
inline constexpr char kProcWebOrder2ERPOrder[] = "SP_WebOrder2ERPOrder";
inline constexpr char kProcUpdateWebOrderStock[] = "P_UpdateWebOrderStock";
inline constexpr char kProcUpdateBillRelateData[] = "p_UpdateBillRelateData";
inline constexpr char kProcGetAllStockNew[] = "P_GetAllStockNew";
// Helpers of the others: turns a comma list of keys into rows of #WebOrderKeys; reserves
// unique-code serials for orders the stock check reviews.
inline constexpr char kProcWebOrderKeyList[] = "p_WebOrderKeyList";
inline constexpr char kProcReserveUniqueCode[] = "p_ReserveUniqueCode";

inline constexpr std::string_view kAllProcedures[] = {
    kProcGetICMaxNum,          kProcReturnStockIDAndSPID, kProcCheckWebOrder,
    kProcWebOrder2ERPOrder,    kProcUpdateWebOrderStock,  kProcUpdateBillRelateData,
    kProcGetAllStockNew,       kProcWebOrderKeyList,      kProcReserveUniqueCode};

}  // namespace procedure

// Columns the methods name most often.
namespace column {

inline constexpr char kFID[] = "FID";
inline constexpr char kFEntryID[] = "FEntryID";
inline constexpr char kFIndex[] = "FIndex";
inline constexpr char kFOrderID[] = "FOrderID";
inline constexpr char kFSiteOrderID[] = "FSiteOrderID";
inline constexpr char kFUniqueCode[] = "FUniqueCode";
inline constexpr char kFOrderStatus[] = "FOrderStatus";
inline constexpr char kFCheckStatus[] = "FCheckStatus";
inline constexpr char kFVoidStatus[] = "FVoidStatus";
inline constexpr char kFLockStatus[] = "FLockStatus";
inline constexpr char kFIsLock[] = "FIsLock";
inline constexpr char kFMergeStatus[] = "FMergeStatus";
inline constexpr char kFTransactionStatus[] = "FTransactionStatus";
inline constexpr char kFOrderType[] = "FOrderType";
inline constexpr char kFInnerInvoice[] = "FInnerInvoice";
inline constexpr char kFInvoiceStatus[] = "FInvoiceStatus";
inline constexpr char kFChkMan[] = "FChkMan";
inline constexpr char kFChkDate[] = "FChkDate";
inline constexpr char kFPreChkMan[] = "FPreChkMan";
inline constexpr char kFPreChkDate[] = "FPreChkDate";
inline constexpr char kFWebshopID[] = "FWebshopID";
inline constexpr char kFItemID[] = "FItemID";
inline constexpr char kFUnitID[] = "FUnitID";
inline constexpr char kFStockID[] = "FStockID";
inline constexpr char kFSPID[] = "FSPID";
inline constexpr char kFBatchNo[] = "FBatchNo";
inline constexpr char kFQuantity[] = "FQuantity";
inline constexpr char kFPrice[] = "FPrice";
inline constexpr char kFAmount[] = "FAmount";
inline constexpr char kFStatus[] = "FStatus";
inline constexpr char kFIsFree[] = "FIsFree";
inline constexpr char kFIsRowClose[] = "FIsRowClose";
inline constexpr char kFRefundStatus[] = "FRefundStatus";
inline constexpr char kFRefundFID[] = "FRefundFID";
inline constexpr char kFServiceStatus[] = "FServiceStatus";
inline constexpr char kFServiceType[] = "FServiceType";
inline constexpr char kFServiceSource[] = "FServiceSource";
inline constexpr char kFSourceTranType[] = "FSourceTranType";
inline constexpr char kFSourceInterId[] = "FSourceInterId";
inline constexpr char kFSourceEntryID[] = "FSourceEntryID";
inline constexpr char kFInterID[] = "FInterID";
inline constexpr char kFCategory[] = "FCategory";
inline constexpr char kFKey[] = "FKey";
inline constexpr char kFValue[] = "FValue";

}  // namespace column

// Code values: t_SubMessage keys held by status columns, and plain flags.
namespace code {

// t_SubMessage families (FTypeID).
inline constexpr int kSubMessageTypeOrderType = 811;
inline constexpr int kSubMessageTypeTradeStatus = 819;
inline constexpr int kSubMessageTypeShippingType = 820;
inline constexpr int kSubMessageTypeTransactionType = 821;
inline constexpr int kSubMessageTypeSendType = 822;
inline constexpr int kSubMessageTypeServiceStatus = 843;
inline constexpr int kSubMessageTypeServiceCategory = 844;
inline constexpr int kSubMessageTypeManageType = 845;
inline constexpr int kSubMessageTypePurchaseStyle = 162;

// FTransactionStatus: the shop's trade status.
inline constexpr int kTradeStatusWaitBuyerPay = 38191;
inline constexpr int kTradeStatusWaitSellerSend = 38192;
inline constexpr int kTradeStatusWaitBuyerConfirm = 38193;
inline constexpr int kTradeStatusFinished = 38194;
inline constexpr int kTradeStatusClosed = 38195;
inline constexpr int kTradeStatusBuyerSigned = 38196;
inline constexpr int kTradeStatusSellerConsignedPart = 38197;
inline constexpr int kTradeStatusOther = 38198;

// FServiceStatus: state of an after-sales case (0 on a line without one).
inline constexpr int kServiceStatusNone = 0;
inline constexpr int kServiceStatusWaitReviewReturn = 38430;
inline constexpr int kServiceStatusWaitReviewRefund = 38431;
inline constexpr int kServiceStatusWaitConfirmReturn = 38432;
inline constexpr int kServiceStatusWaitSignFor = 38433;
inline constexpr int kServiceStatusWaitExchange = 38434;
inline constexpr int kServiceStatusCompleted = 38435;
inline constexpr int kServiceStatusRefused = 38436;
inline constexpr int kServiceStatusWaitReviewExchange = 38437;
inline constexpr int kServiceStatusReshipReopened = 38438;

// FServiceCategory of a case; re-shipment history rows carry the re-shipment category.
inline constexpr int kServiceCategoryQuality = 38440;
inline constexpr int kServiceCategoryWrongGoods = 38441;
inline constexpr int kServiceCategoryNoReason = 38442;
inline constexpr int kServiceCategoryOther = 38443;
inline constexpr int kServiceCategoryReship = 38444;

// IC_RefundRecord.FManageType: the handling type of one after-sales step.
inline constexpr int kManageTypeApplyRefund = 38450;
inline constexpr int kManageTypeApplyReturn = 38451;
inline constexpr int kManageTypeApplyOther = 38461;
inline constexpr int kManageTypeAutoReviewRefund = 38452;
inline constexpr int kManageTypeAutoReviewReturn = 38454;
inline constexpr int kManageTypeAutoReviewExchange = 38459;
inline constexpr int kManageTypeSignForReturn = 38456;
inline constexpr int kManageTypeSignForKeepTarget = 38463;
inline constexpr int kManageTypeSignForNoQuantity = 38464;
inline constexpr int kManageTypeRollback = 38465;
inline constexpr int kManageTypeReshipApproved = 38469;
inline constexpr int kManageTypeReshipRefused = 39001;
inline constexpr int kManageTypeReshipRecorded = 39002;

// FOrderType. Shop types "03", "04", "06", "08", "09" and "1000" map to fixed order types.
inline constexpr int kOrderTypeNormal = 38111;
inline constexpr int kOrderTypeShop04 = 38116;
inline constexpr int kOrderTypeShop06 = 38117;
inline constexpr int kOrderTypeShop03 = 38118;
inline constexpr int kOrderTypeShop08 = 38119;
inline constexpr int kOrderTypeShop1000 = 38472;
inline constexpr int kOrderTypeShop09 = 38473;
inline constexpr int kOrderTypeAfterSales = 38481;  // left out of the ordinary lists
inline constexpr int kSubMessageParentShopType = 811;

// FOrderStatus; also tested as a bit set.
inline constexpr int kOrderStatusWaitReview = 1;
inline constexpr int kOrderStatusReviewed = 2;
inline constexpr int kOrderStatusReviewedAlt = 14;
inline constexpr int kOrderStatusStockBillBit = 8;  // an outbound stock bill exists

inline constexpr int kCheckStatusNotReviewed = 0;
inline constexpr int kCheckStatusReviewed = 1;
inline constexpr int kVoidStatusNotVoid = 0;
inline constexpr int kLocked = 1;
inline constexpr int kNotLocked = 0;
inline constexpr int kMergeStatusMerged = 1;
inline constexpr int kMergeStatusPartShipSplit = 2;
inline constexpr int kInvoiceStatusMarked = 1;
inline constexpr int kInvoiceStatusNotMarked = 0;
inline constexpr int kInnerInvoiceBillMade = 1;
inline constexpr int kIsFreeGift = 1;
inline constexpr int kIsFreeSold = 0;
inline constexpr int kIsShShipPartnerWarehouse = 1;
inline constexpr char kJzServiceOrder[] = "Y";
inline constexpr int kRefundStatusOpen = 1;
inline constexpr int kRefundStatusNone = 0;
inline constexpr int kUpLoadStatusUploaded = 1;

// FServiceType and IC_RefundRecord.FType.
inline constexpr int kServiceTypeRefundOnly = 1;
inline constexpr int kServiceTypeRefundReturn = 2;
inline constexpr int kServiceTypeExchange = 3;
inline constexpr int kServiceTypeReship = 4;

// FServiceSource and IC_RefundRecord.FSource.
inline constexpr int kServiceSourceOnline = 1;
inline constexpr int kServiceSourceOffline = 2;

// Bill types.
inline constexpr int kClassTypeWebOrder = 1014300;       // FSourceTranType of sales order lines
inline constexpr int kClassTypeWebOrderEntry = 1014301;  // FSourceTranType of stock bill lines
inline constexpr int kClassTypeReceipt = 1014302;
inline constexpr int kClassTypePurchasePrint = 1024333;
inline constexpr int kVoucherBillTypeWebOrder = 32;       // t_RPVoucherAndBill.FBillType
inline constexpr int kTranTypePurchaseRequest = 70;
inline constexpr int kTranTypePurchaseOrder = 71;
inline constexpr int kPurchaseAreaDefault = 20302;

// The user every fresh account has, and the group whose members see every shop.
inline constexpr int kAdministratorUserID = 16394;
inline constexpr int kAdministratorGroupID = 1;

// System parameters (t_SystemProfile, category 'EC' unless said).
inline constexpr char kProfileCategory[] = "EC";
inline constexpr char kProfileMergeOrderType[] = "MergeOrderType";
inline constexpr char kProfileAddGiftTime[] = "AddGiftTime";
inline constexpr char kProfilePreCheckOnStock[] = "PreCheckOnStock";
inline constexpr char kProfileLockOrderOnStock[] = "LockOrderOnStock";
inline constexpr char kProfileAutoBatchNo[] = "AutoBatchNo";
inline constexpr char kProfilePurchaseCheckMode[] = "PurchaseCheckMode";
inline constexpr char kProfileDepartment[] = "Department";
inline constexpr char kProfileStaff[] = "Staff";
inline constexpr char kProfileTradeSuccessDown2fpNoVerify[] = "TradeSuccessDown2fpNoVerify";
inline constexpr char kProfileWebShopAccess[] = "WebShopAccess";
inline constexpr char kProfileMergeFreightToAmount[] = "MergeFreightToAmount";
inline constexpr char kProfileCategoryIC[] = "IC";
inline constexpr char kProfileCheckUserGroup[] = "CheckUserGroup";

// Unique-code counters, shared by the review and the stock check: the month row of IC_MaxNum and
// the serial row of ICMaxNum share this table name.
inline constexpr char kUniqueCodeTableName[] = "UniqueCode";

}  // namespace code

// Operation codes of the order log (IC_TradeLog.FOPCode / IC_TradeLogType).
namespace oplog {

inline constexpr int kItemReplaced = 1005;
inline constexpr int kBillDiscountFee = 1007;
inline constexpr int kBuyerName = 1008;
inline constexpr int kInvoiceName = 1009;
inline constexpr int kShippingType = 1010;
inline constexpr int kTotalFreight = 1011;
inline constexpr int kLineBuyerFreight = 1012;
inline constexpr int kBuyerMessage = 1013;
inline constexpr int kBuyerNick = 1015;
inline constexpr int kEmployee = 1017;
inline constexpr int kInvoiceInfo = 1018;
inline constexpr int kDepartment = 1019;
inline constexpr int kLineDeleted = 1020;
inline constexpr int kLineInserted = 1021;
inline constexpr int kLineQuantity = 1022;
inline constexpr int kLinePrice = 1023;
inline constexpr int kLineItem = 1024;
inline constexpr int kLineUnit = 1025;
inline constexpr int kLineDiscountFee = 1026;
inline constexpr int kLineMeal = 1027;
inline constexpr int kInvoiceFlag = 1028;
inline constexpr int kLogistics = 2002;
inline constexpr int kDeliveryRemark = 2003;
inline constexpr int kLogisticsOrder = 2004;
inline constexpr int kDeliveryProvince = 2005;
inline constexpr int kDeliveryCity = 2006;
inline constexpr int kDeliveryDistrict = 2007;
inline constexpr int kDeliveryAddress = 2008;
inline constexpr int kOrdersMerged = 2009;
inline constexpr int kTelephone = 2011;
inline constexpr int kConsignee = 2012;
inline constexpr int kSellerMessage = 2013;
inline constexpr int kLineBatchNo = 2014;
inline constexpr int kInsuredValue = 3002;
inline constexpr int kLogisticsCost = 3006;
inline constexpr int kShippingRem = 3012;

inline constexpr int kAllCodes[] = {
    kItemReplaced,   kBillDiscountFee, kBuyerName,       kInvoiceName,      kShippingType,
    kTotalFreight,   kLineBuyerFreight, kBuyerMessage,   kBuyerNick,        kEmployee,
    kInvoiceInfo,    kDepartment,      kLineDeleted,     kLineInserted,     kLineQuantity,
    kLinePrice,      kLineItem,        kLineUnit,        kLineDiscountFee,  kLineMeal,
    kInvoiceFlag,    kLogistics,       kDeliveryRemark,  kLogisticsOrder,   kDeliveryProvince,
    kDeliveryCity,   kDeliveryDistrict, kDeliveryAddress, kOrdersMerged,    kTelephone,
    kConsignee,      kSellerMessage,   kLineBatchNo,     kInsuredValue,     kLogisticsCost,
    kShippingRem};

}  // namespace oplog

}  // namespace ambit::schema

#endif  // AMBIT_SCHEMA_NAMES_H_
