-- Tables of the web order module: orders, lines and their companions, shops, logistics,
-- after-sales cases, the operation log and numbering. The ERP tables follow in erp_tables.sql.
-- Runs unchanged on SQL Server and on the embedded engine; batches end at GO lines.
-- Flags and codes the order queries compare are NOT NULL with a default, so that rows written
-- by downloads, splits and the demo never leave a comparison unknown.

-- ---------------------------------------------------------------------------------------------
-- Web orders: header, lines and their companion rows
-- ---------------------------------------------------------------------------------------------
CREATE TABLE IC_Web2ERPOrders (
  FID int NOT NULL PRIMARY KEY,
  FClassTypeID int NOT NULL DEFAULT 1014300,
  FOrderDate datetime NULL,
  FWebshopID nvarchar(50) NOT NULL DEFAULT '',
  FSiteOrderID nvarchar(100) NOT NULL DEFAULT '',
  FOrderID nvarchar(100) NOT NULL DEFAULT '',
  FUniqueCode nvarchar(50) NOT NULL DEFAULT '0',
  FOrderType int NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FBuyerNick nvarchar(100) NULL DEFAULT '',
  FBuyerName nvarchar(100) NULL DEFAULT '',
  FConsignee nvarchar(100) NULL DEFAULT '',
  FTelephone nvarchar(40) NULL DEFAULT '',
  FZipCode nvarchar(20) NULL DEFAULT '',
  FDeliveryAddress nvarchar(500) NULL DEFAULT '',
  FLogisticsID int NOT NULL DEFAULT 0,
  FLogisticsComp nvarchar(100) NULL DEFAULT '',
  FLogisticsOrder nvarchar(100) NULL DEFAULT '',
  FLogisticsCost decimal(18,2) NOT NULL DEFAULT 0,
  FWeight decimal(18,4) NOT NULL DEFAULT 0,
  FTotalFreight decimal(18,2) NOT NULL DEFAULT 0,
  FMergeOrder nvarchar(2000) NULL DEFAULT '',
  FMergeStatus int NOT NULL DEFAULT 0,
  FTransactionStatus int NOT NULL DEFAULT 38192,
  FReasonsForFailure nvarchar(255) NULL DEFAULT '',
  FAppraisalStatus int NOT NULL DEFAULT 0,
  FOrderStatus int NOT NULL DEFAULT 1,
  FCheckStatus int NOT NULL DEFAULT 0,
  FLockStatus int NOT NULL DEFAULT 0,
  FLockRem nvarchar(255) NULL DEFAULT '',
  FIsPrintExpress int NOT NULL DEFAULT 0,
  FIsPrintSend int NOT NULL DEFAULT 0,
  FInvoiceStatus int NOT NULL DEFAULT 0,
  FInnerInvoice int NOT NULL DEFAULT 0,
  FChkMan int NULL DEFAULT 0,
  FPickMan int NULL DEFAULT 0,
  FShippingMan int NULL DEFAULT 0,
  FPickRem nvarchar(255) NULL DEFAULT '',
  FOrderRem nvarchar(1000) NULL DEFAULT '',
  FShippingRem nvarchar(255) NULL DEFAULT '',
  FCreatedate datetime NULL DEFAULT GETDATE(),
  FModifydate datetime NULL DEFAULT GETDATE(),
  FTransCloseReason nvarchar(255) NULL DEFAULT '',
  FStockID int NOT NULL DEFAULT 0,
  FOrderFlag int NOT NULL DEFAULT 0,
  FIsBuyerAppraisal int NOT NULL DEFAULT 0,
  FIsSellerAppraisal int NOT NULL DEFAULT 0,
  FIsPrintPick int NOT NULL DEFAULT 0,
  FLogisticsDate datetime NULL,
  FDeliveryProvince int NOT NULL DEFAULT 0,
  FDeliveryCity int NOT NULL DEFAULT 0,
  FDeliveryDistrict int NOT NULL DEFAULT 0,
  FSiteOrderDate datetime NULL,
  FSiteEndDate datetime NULL,
  FSitePayDate datetime NULL,
  FAmountOld decimal(18,2) NOT NULL DEFAULT 0,
  FBuyerFreightOld decimal(18,2) NOT NULL DEFAULT 0,
  FMobile nvarchar(40) NULL DEFAULT '',
  FTransactionType int NOT NULL DEFAULT 0,
  FShippingType int NOT NULL DEFAULT 0,
  FSiteModifydate datetime NULL,
  FBuyerCodfee decimal(18,2) NOT NULL DEFAULT 0,
  FWeightStatus int NOT NULL DEFAULT 0,
  FPrintExpressCount int NOT NULL DEFAULT 0,
  FPrintSendCount int NOT NULL DEFAULT 0,
  FFeeBillNO nvarchar(50) NULL DEFAULT '',
  FChkRem nvarchar(255) NULL DEFAULT '',
  FOutStockBillNO nvarchar(50) NULL DEFAULT '',
  FVoidStatus int NOT NULL DEFAULT 0,
  FVoucherID int NOT NULL DEFAULT 0,
  FInterID int NOT NULL DEFAULT 0,
  FBiller int NOT NULL DEFAULT 0,
  FChkDate datetime NULL,
  FPreChkMan int NULL DEFAULT 0,
  FPreChkDate datetime NULL,
  FLockMan int NULL DEFAULT 0,
  FPickDate datetime NULL,
  FSendDate datetime NULL,
  FOnlineSendDate datetime NULL,
  FDeliveryTime nvarchar(100) NULL DEFAULT '',
  FDeliveryRemark nvarchar(250) NULL DEFAULT '',
  FDeliveryCountry int NOT NULL DEFAULT 0,
  FBuyerMessage nvarchar(1000) NULL DEFAULT '',
  FSellerMessage nvarchar(1000) NULL DEFAULT '',
  FPreBuyerMessage nvarchar(1000) NULL DEFAULT '',
  FPreOrderRem nvarchar(1000) NULL DEFAULT '',
  FBuyerEMail nvarchar(100) NULL DEFAULT '',
  FBuyerPayMode nvarchar(50) NULL DEFAULT '',
  FBuyerFreight decimal(18,2) NOT NULL DEFAULT 0,
  FPreBuyerCodfee decimal(18,2) NOT NULL DEFAULT 0,
  FDiscountFee decimal(18,2) NOT NULL DEFAULT 0,
  FPreDiscountFee decimal(18,2) NOT NULL DEFAULT 0,
  FBillDiscountFee decimal(18,2) NOT NULL DEFAULT 0,
  FBalanceAmount decimal(18,2) NOT NULL DEFAULT 0,
  FCurrencyID int NOT NULL DEFAULT 1,
  FEmpID int NOT NULL DEFAULT 0,
  FOptDptID int NOT NULL DEFAULT 0,
  FInvoiceName nvarchar(1000) NULL DEFAULT '',
  FInvoiceInfo nvarchar(255) NULL DEFAULT '',
  FInsuredValue decimal(18,2) NOT NULL DEFAULT 0,
  FIsCod int NOT NULL DEFAULT 0,
  FIsClaim int NOT NULL DEFAULT 0,
  FIsExport int NOT NULL DEFAULT 0,
  FIsStockMgr int NOT NULL DEFAULT 0,
  FIsAssignedExpress int NOT NULL DEFAULT 0,
  FIsPriceChange int NOT NULL DEFAULT 0,
  FIs_jzservice_order nvarchar(10) NULL DEFAULT '',
  FDelayDay int NOT NULL DEFAULT 0,
  FTID nvarchar(100) NULL DEFAULT '',
  FTradeFrom nvarchar(50) NULL DEFAULT '',
  FSendType int NOT NULL DEFAULT 0,
  FShippingID int NOT NULL DEFAULT 0,
  FSaleNo nvarchar(100) NULL DEFAULT '',
  FSrcNo nvarchar(100) NULL DEFAULT '',
  FServerNO nvarchar(100) NULL DEFAULT '',
  FUpLoadStatus int NOT NULL DEFAULT 0,
  FUpStockWhenSave int NOT NULL DEFAULT 0,
  FWebShopFID int NOT NULL DEFAULT 0,
  FWebShopType int NOT NULL DEFAULT 0,
  FfenxiaoSendid nvarchar(50) NULL DEFAULT '',
  FCreatedTime datetime NULL,
  FModifiedTime datetime NULL,
  FPayTime datetime NULL,
  FBatchNo nvarchar(255) NULL DEFAULT '',
  FBatchManager int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_Web2ERPOrdersEntry (
  FEntryID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FID int NOT NULL,
  FIndex int NOT NULL DEFAULT 0,
  FSiteOrderID nvarchar(100) NULL DEFAULT '',
  FOrderID nvarchar(100) NULL DEFAULT '',
  FItemID int NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  FQuantity decimal(28,10) NOT NULL DEFAULT 0,
  FBatchNo nvarchar(255) NOT NULL DEFAULT '',
  FSPID int NOT NULL DEFAULT 0,
  FAttrCode int NOT NULL DEFAULT 0,
  FAttrType int NOT NULL DEFAULT 0,
  FPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FStockID int NOT NULL DEFAULT 0,
  FBuyerMessage nvarchar(1000) NULL DEFAULT '',
  FSellerMessage nvarchar(1000) NULL DEFAULT '',
  FStatus nvarchar(50) NOT NULL DEFAULT '',
  FRealStock decimal(28,10) NOT NULL DEFAULT 0,
  FAvailStock decimal(28,10) NOT NULL DEFAULT 0,
  FCreatedate datetime NULL DEFAULT GETDATE(),
  FModifydate datetime NULL DEFAULT GETDATE(),
  FBuyerAppraisal nvarchar(50) NULL DEFAULT '',
  FBuyerAppraisalText nvarchar(500) NULL DEFAULT '',
  FSellerAppraisal nvarchar(50) NULL DEFAULT '',
  FSellerAppraisalText nvarchar(500) NULL DEFAULT '',
  FChildOrderID nvarchar(100) NULL DEFAULT '',
  FPreParentID int NOT NULL DEFAULT 0,
  FRefundStatus int NOT NULL DEFAULT 0,
  FRefundID nvarchar(100) NULL DEFAULT '',
  FRefundAmount decimal(18,2) NOT NULL DEFAULT 0,
  FRefusedQuantity decimal(28,10) NOT NULL DEFAULT 0,
  FRefuseddate datetime NULL,
  FBackWarehouse int NOT NULL DEFAULT 0,
  FBackMan int NOT NULL DEFAULT 0,
  FNumID nvarchar(100) NULL DEFAULT '',
  FSKUID nvarchar(100) NULL DEFAULT '',
  FBackChangeQuantity decimal(28,10) NOT NULL DEFAULT 0,
  FIsFree int NOT NULL DEFAULT 0,
  FDiscountFee decimal(18,2) NOT NULL DEFAULT 0,
  FIsProductMeal int NOT NULL DEFAULT 0,
  FMealID nvarchar(80) NULL DEFAULT '',
  FMealName nvarchar(255) NULL DEFAULT '',
  FRefuseRem nvarchar(255) NULL DEFAULT '',
  FChangeRem nvarchar(255) NULL DEFAULT '',
  FSaleStatus int NOT NULL DEFAULT 0,
  FApplyDate datetime NULL,
  FApplyRem nvarchar(255) NULL DEFAULT '',
  FRateStatus int NOT NULL DEFAULT 0,
  FCheckedQuantity decimal(28,10) NOT NULL DEFAULT 0,
  FBuyerFreight decimal(18,2) NOT NULL DEFAULT 0,
  FBarCode nvarchar(100) NULL DEFAULT '',
  FReceiptQty decimal(28,10) NOT NULL DEFAULT 0,
  FRowClosed int NOT NULL DEFAULT 0,
  FIsRowClose int NOT NULL DEFAULT 0,
  FAuxQtyInvoice decimal(28,10) NOT NULL DEFAULT 0,
  FID_SRC int NOT NULL DEFAULT 0,
  FEntryID_SRC int NOT NULL DEFAULT 0,
  FClassID_SRC int NOT NULL DEFAULT 0,
  FBillNO_SRC nvarchar(100) NULL DEFAULT '',
  FAfterDiscountAmount decimal(18,2) NOT NULL DEFAULT 0,
  FPackagedGoods int NOT NULL DEFAULT 0,
  FPackagedGoodsFIndex int NOT NULL DEFAULT 0,
  FOuterID nvarchar(100) NULL DEFAULT '',
  FOnlineTitle nvarchar(500) NULL DEFAULT '',
  FRefundModify datetime NULL,
  FRefundStatusDetails int NOT NULL DEFAULT 0,
  FOutStockQuantity decimal(28,10) NOT NULL DEFAULT 0,
  FOutStockAmount decimal(18,2) NOT NULL DEFAULT 0,
  FTaxRate decimal(18,4) NOT NULL DEFAULT 0,
  FTaxAmount decimal(18,2) NOT NULL DEFAULT 0,
  FUpLoadStatus int NOT NULL DEFAULT 0,
  FIsShShip int NOT NULL DEFAULT 0,
  FStockLockNum decimal(28,10) NOT NULL DEFAULT 0,
  FEntryBillDiscountFee decimal(18,2) NOT NULL DEFAULT 0,
  FPromotionID int NOT NULL DEFAULT 0,
  FServiceStatus int NOT NULL DEFAULT 0,
  FServiceType int NOT NULL DEFAULT 0,
  FServiceSource int NOT NULL DEFAULT 0,
  FRefundFID int NOT NULL DEFAULT 0,
  FReturnLogisticsCompany int NOT NULL DEFAULT 0,
  FReturnLogisticsOrder nvarchar(100) NULL DEFAULT '',
  FTplReturnStatus nvarchar(50) NULL DEFAULT '',
  FTplReturnFail nvarchar(255) NULL DEFAULT '',
  FIsRetrunGoods int NOT NULL DEFAULT 0,
  FOrderFrom nvarchar(50) NULL DEFAULT '',
  FIs_jzservice_order nvarchar(10) NULL DEFAULT ''
)
GO
CREATE TABLE IC_Web2ERPOrdersEx (
  FID int NOT NULL PRIMARY KEY,
  FOrderID nvarchar(100) NULL DEFAULT '',
  FLotNumber nvarchar(100) NULL DEFAULT '',
  FSerialNumber nvarchar(100) NULL DEFAULT '',
  FIsLock int NOT NULL DEFAULT 0,
  FLockReason nvarchar(255) NULL DEFAULT '',
  FLockStatus int NOT NULL DEFAULT 0,
  FAddressReachable int NOT NULL DEFAULT 0,
  FCreateDate datetime NULL DEFAULT GETDATE(),
  FLogisticsState int NOT NULL DEFAULT 0,
  FInsuredValue decimal(18,2) NOT NULL DEFAULT 0,
  FSaleNo nvarchar(100) NULL DEFAULT ''
)
GO
CREATE TABLE IC_web2ErpOrdersEntryEx (
  FEntryID int NOT NULL PRIMARY KEY,
  FID int NOT NULL DEFAULT 0,
  FTplRemark nvarchar(500) NULL DEFAULT ''
)
GO
CREATE TABLE IC_Web2ErpOrderSerial (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FEntryID int NOT NULL,
  FSerialNumber nvarchar(100) NOT NULL DEFAULT ''
)
GO
CREATE TABLE IC_StockBillOrdersStatus (
  FID int NOT NULL PRIMARY KEY,
  FStockBillStatus int NOT NULL DEFAULT 0,
  FStockBillResult nvarchar(1000) NULL DEFAULT ''
)
GO
-- Trades and sub-orders exactly as the shop download left them.
CREATE TABLE IC_Trade (
  FTID nvarchar(100) NOT NULL PRIMARY KEY,
  FWebShopID nvarchar(50) NULL DEFAULT '',
  FWebShopFID int NULL DEFAULT 0,
  FPayTime datetime NULL,
  FModifiedTime datetime NULL,
  FCreatedTime datetime NULL,
  FStatus nvarchar(50) NULL DEFAULT ''
)
GO
CREATE TABLE Ic_weborder (
  ftradeid nvarchar(100) NOT NULL,
  foid nvarchar(100) NOT NULL,
  FStatus nvarchar(50) NULL DEFAULT '',
  PRIMARY KEY (ftradeid, foid)
)
GO
-- ---------------------------------------------------------------------------------------------
-- Shops, buyers, areas, logistics
-- ---------------------------------------------------------------------------------------------
CREATE TABLE IC_WebshopToStorage (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FWebShopID nvarchar(50) NOT NULL DEFAULT '',
  FWebShopName nvarchar(255) NOT NULL DEFAULT '',
  FWebShopType int NOT NULL DEFAULT 0,
  FShopCategory int NOT NULL DEFAULT 0,
  FWebShopAddress nvarchar(500) NULL DEFAULT '',
  FStockID int NOT NULL DEFAULT 0,
  FDeptID int NOT NULL DEFAULT 0,
  FStaffID int NOT NULL DEFAULT 0,
  FPurchaseID int NOT NULL DEFAULT 0,
  FAutoInvoice int NOT NULL DEFAULT 0,
  FUnUsed int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_WebShopAccessData (
  FUserID int NOT NULL,
  FWebShopID nvarchar(50) NOT NULL,
  FIsAccess int NOT NULL DEFAULT 1,
  PRIMARY KEY (FUserID, FWebShopID)
)
GO
CREATE TABLE IC_WebShopClient (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FNick nvarchar(100) NOT NULL DEFAULT '',
  FName nvarchar(100) NULL DEFAULT '',
  FWebShopID nvarchar(50) NULL DEFAULT '',
  FIsBlackList int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_SellerAddress (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FWebShopID nvarchar(50) NOT NULL DEFAULT '',
  FContactName nvarchar(100) NULL DEFAULT '',
  fmobilephone nvarchar(40) NULL DEFAULT '',
  fphone nvarchar(40) NULL DEFAULT '',
  FProvince nvarchar(80) NULL DEFAULT '',
  FCity nvarchar(80) NULL DEFAULT '',
  FDistrict nvarchar(80) NULL DEFAULT '',
  FAddress nvarchar(500) NULL DEFAULT '',
  FZipCode nvarchar(20) NULL DEFAULT '',
  FDefaultReturn int NOT NULL DEFAULT 0
)
GO
-- Provinces, cities and districts share one table; FParentID links a district to its city.
CREATE TABLE IC_Area (
  FID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(50) NULL DEFAULT '',
  FName nvarchar(100) NOT NULL DEFAULT '',
  FName_CHT nvarchar(100) NULL DEFAULT '',
  FName_EN nvarchar(100) NULL DEFAULT '',
  FParentID int NOT NULL DEFAULT 0,
  FLevel int NOT NULL DEFAULT 0,
  FType int NOT NULL DEFAULT 0,
  FZipCode nvarchar(20) NULL DEFAULT ''
)
GO
CREATE TABLE IC_Logistics (
  FItemID int NOT NULL PRIMARY KEY,
  FID int NOT NULL DEFAULT 0,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FName nvarchar(100) NOT NULL DEFAULT '',
  FName_CHT nvarchar(100) NULL DEFAULT '',
  FName_EN nvarchar(100) NULL DEFAULT '',
  FPrintType int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_LogisticsSetElectronic (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FPrintType int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_LogisticsTraceState (
  FID int NOT NULL PRIMARY KEY,
  FName nvarchar(100) NOT NULL DEFAULT ''
)
GO
CREATE TABLE IC_WebtplToStorage (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FStockID int NOT NULL DEFAULT 0,
  FWebtplType int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_TplStatusType (
  FStatusType nvarchar(50) NOT NULL PRIMARY KEY,
  FStatusName nvarchar(100) NOT NULL DEFAULT ''
)
GO
CREATE TABLE IC_GoodsToMateriel (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FWebshopID nvarchar(50) NOT NULL DEFAULT '',
  FMaterielCode nvarchar(80) NOT NULL DEFAULT '',
  FIsPriceChange int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_SKU (
  FSkuID nvarchar(100) NOT NULL,
  FNumIID nvarchar(100) NOT NULL,
  FSkuAliaName nvarchar(255) NULL DEFAULT '',
  PRIMARY KEY (FNumIID, FSkuID)
)
GO
CREATE TABLE IC_CDPSActivity (
  FActivityID int NOT NULL PRIMARY KEY,
  FActivityName nvarchar(255) NOT NULL DEFAULT ''
)
GO
CREATE TABLE IC_CDPSPromotion (
  FPromotionID int NOT NULL PRIMARY KEY,
  FActivityID int NOT NULL DEFAULT 0
)
GO
-- ---------------------------------------------------------------------------------------------
-- After-sales cases, receipts, the operation log
-- ---------------------------------------------------------------------------------------------
CREATE TABLE IC_RefundInfo (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FEntryID int NOT NULL DEFAULT 0,
  FSiteOrderID nvarchar(100) NULL DEFAULT '',
  FChildOrderID nvarchar(100) NULL DEFAULT '',
  FOrderID nvarchar(100) NULL DEFAULT '',
  FBuyerNick nvarchar(100) NULL DEFAULT '',
  FWebShopID nvarchar(50) NULL DEFAULT '',
  FItemID int NOT NULL DEFAULT 0,
  FItemName nvarchar(255) NULL DEFAULT '',
  FCreateDate datetime NULL DEFAULT GETDATE(),
  FLastModifyDate datetime NULL DEFAULT GETDATE(),
  FNum decimal(28,10) NOT NULL DEFAULT 0,
  FRefundAmount decimal(18,2) NOT NULL DEFAULT 0,
  FRefundCode nvarchar(100) NULL DEFAULT '',
  FRefundMemo nvarchar(1000) NULL DEFAULT '',
  -- The shop platform's own refund state ('WAIT_BUYER_RETURN_GOODS' ...), not a flag.
  FRefundStatus nvarchar(50) NOT NULL DEFAULT '',
  FServiceType int NOT NULL DEFAULT 0,
  FServiceSource int NOT NULL DEFAULT 0,
  FServiceStatus int NOT NULL DEFAULT 0,
  FServiceCategory int NOT NULL DEFAULT 0,
  FIsRefuse int NOT NULL DEFAULT 0,
  FIsRetrunGoods int NOT NULL DEFAULT 0,
  FReturnQty decimal(28,10) NOT NULL DEFAULT 0,
  FReturnDate datetime NULL,
  FReceiveQty decimal(28,10) NOT NULL DEFAULT 0,
  FOutDate datetime NULL,
  FExchangeItemID int NOT NULL DEFAULT 0,
  FExchangeQty decimal(28,10) NOT NULL DEFAULT 0,
  FExchangeUnitID int NOT NULL DEFAULT 0,
  FBuyerAccount nvarchar(100) NULL DEFAULT '',
  FRecorder int NOT NULL DEFAULT 0,
  FVoucherID int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_RefundRecord (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FRecordDate datetime NULL DEFAULT GETDATE(),
  FRecorder int NOT NULL DEFAULT 0,
  FSource int NOT NULL DEFAULT 0,
  FType int NOT NULL DEFAULT 0,
  FManageType int NOT NULL DEFAULT 0,
  FServiceType int NOT NULL DEFAULT 0,
  FRefundAmount decimal(18,2) NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FRemark nvarchar(1000) NULL DEFAULT '',
  FEntryID int NOT NULL DEFAULT 0,
  FItemID int NOT NULL DEFAULT 0,
  FRefundFID int NOT NULL DEFAULT 0,
  FOnlineReason nvarchar(500) NULL DEFAULT '',
  FRefundCode nvarchar(100) NULL DEFAULT ''
)
GO
CREATE TABLE IC_Receipt (
  FID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(100) NOT NULL DEFAULT '',
  FBiller int NOT NULL DEFAULT 0,
  FDate datetime NULL DEFAULT GETDATE()
)
GO
CREATE TABLE IC_ReceiptEntry (
  FEntryID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FID int NOT NULL,
  FItemID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FRefundFID int NOT NULL DEFAULT 0,
  FID_SRC int NOT NULL DEFAULT 0,
  FEntryID_SRC int NOT NULL DEFAULT 0,
  FClassID_SRC int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_TradeLog (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FOrderFID int NOT NULL,
  FOPUserID int NOT NULL DEFAULT 0,
  FOPCode int NOT NULL DEFAULT 0,
  FUserIP nvarchar(100) NULL DEFAULT '',
  FOPTime datetime NULL DEFAULT GETDATE(),
  FItemID int NOT NULL DEFAULT 0,
  FOldValue nvarchar(2000) NULL DEFAULT '',
  FNewValue nvarchar(2000) NULL DEFAULT ''
)
GO
-- FLogDesc is a template: "Item", "OldValue" and "NewValue" are replaced when the log is read.
CREATE TABLE IC_TradeLogType (
  FOPCode int NOT NULL PRIMARY KEY,
  FOPName nvarchar(100) NOT NULL DEFAULT '',
  FLogDesc nvarchar(500) NOT NULL DEFAULT '',
  FWriteLog int NOT NULL DEFAULT 1
)
GO
-- ---------------------------------------------------------------------------------------------
-- Workbench support: column defaults, purchase print tables, numbering
-- ---------------------------------------------------------------------------------------------
CREATE TABLE IC_Web2ColumnsDefaultSet (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FClassTypeID int NOT NULL DEFAULT 1014300,
  FListName nvarchar(100) NOT NULL DEFAULT '',
  FKey nvarchar(100) NOT NULL DEFAULT '',
  FIndex int NOT NULL DEFAULT 0,
  FWidth int NOT NULL DEFAULT 100,
  FAlign int NOT NULL DEFAULT 0
)
GO
CREATE TABLE IC_Purchase (
  FID int NOT NULL PRIMARY KEY,
  FOrderID nvarchar(100) NULL DEFAULT '',
  FClassTypeID int NOT NULL DEFAULT 0,
  FText8 nvarchar(255) NULL DEFAULT ''
)
GO
CREATE TABLE IC_PurchaseEntry (
  FEntryID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FID int NOT NULL DEFAULT 1000001,
  FIndex int NOT NULL DEFAULT 0,
  FGoodsName nvarchar(255) NULL DEFAULT '',
  FGoodsCode nvarchar(80) NULL DEFAULT '',
  FGoodsPic nvarchar(500) NULL DEFAULT '',
  FSupplierName nvarchar(255) NULL DEFAULT '',
  FOnWayNum decimal(28,10) NOT NULL DEFAULT 0,
  FStockNum decimal(28,10) NOT NULL DEFAULT 0,
  FOrderNum decimal(28,10) NOT NULL DEFAULT 0,
  FCanUserNum decimal(28,10) NOT NULL DEFAULT 0,
  FPurchaseNum decimal(28,10) NOT NULL DEFAULT 0
)
GO
-- Month of the unique-code serials and other numbering markers.
CREATE TABLE IC_MaxNum (
  FTableName nvarchar(100) NOT NULL PRIMARY KEY,
  FUserID int NOT NULL DEFAULT 0,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FFlag int NOT NULL DEFAULT 0
)
GO
-- Last key handed out per table (GetICMaxNum) and the last unique-code serial.
CREATE TABLE ICMaxNum (
  FTableName nvarchar(100) NOT NULL PRIMARY KEY,
  FMaxNum int NOT NULL DEFAULT 0
)
GO
-- Field captions of bill types, one caption column per language.
CREATE TABLE ICClassTableInfo (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FCLASSTYPEID int NOT NULL,
  FPage int NOT NULL DEFAULT 1,
  FKey nvarchar(100) NOT NULL,
  FFieldName nvarchar(100) NOT NULL DEFAULT '',
  FCaption_CHS nvarchar(100) NOT NULL DEFAULT '',
  FCaption_CHT nvarchar(100) NOT NULL DEFAULT '',
  FCaption_EN nvarchar(100) NOT NULL DEFAULT '',
  FVisible int NOT NULL DEFAULT 2,
  FMustInput int NOT NULL DEFAULT 0,
  FIndex int NOT NULL DEFAULT 0
)
GO
CREATE TABLE ICClassType (
  FID int NOT NULL PRIMARY KEY,
  FName nvarchar(100) NOT NULL DEFAULT '',
  FName_CHT nvarchar(100) NULL DEFAULT '',
  FName_EN nvarchar(100) NULL DEFAULT '',
  FControl int NOT NULL DEFAULT 0
)
GO
CREATE TABLE ICBillNo (
  FBillID int NOT NULL PRIMARY KEY,
  FBillName nvarchar(100) NOT NULL DEFAULT '',
  FPreLetter nvarchar(20) NOT NULL DEFAULT '',
  FCurNo int NOT NULL DEFAULT 0,
  FCanAlterBillNo int NOT NULL DEFAULT 1,
  FEditSelfBill int NOT NULL DEFAULT 0
)
GO
