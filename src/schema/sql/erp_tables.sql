-- ERP tables the web order methods read and write: users, items, warehouses and stock, code
-- and parameter tables, and the bills made from web orders. Runs after tables.sql, on SQL Server
-- and on the embedded engine alike; batches end at GO lines.

-- ---------------------------------------------------------------------------------------------
-- ERP base data: users, items, units, warehouses, codes, system parameters
-- ---------------------------------------------------------------------------------------------
CREATE TABLE t_User (
  FUserID int NOT NULL PRIMARY KEY,
  FName nvarchar(100) NOT NULL DEFAULT '',
  FEmpID int NOT NULL DEFAULT 0,
  FDescription nvarchar(255) NULL DEFAULT '',
  FForbidden int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_Group (
  FGroupID int NOT NULL,
  FUserID int NOT NULL,
  PRIMARY KEY (FGroupID, FUserID)
)
GO
CREATE TABLE t_Emp (
  FItemID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FName nvarchar(100) NOT NULL DEFAULT '',
  FDepartmentID int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_Department (
  FItemID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FName nvarchar(100) NOT NULL DEFAULT ''
)
GO
CREATE TABLE t_Currency (
  FCurrencyID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(20) NOT NULL DEFAULT '',
  FName nvarchar(50) NOT NULL DEFAULT '',
  FExchangeRate decimal(18,6) NOT NULL DEFAULT 1
)
GO
CREATE TABLE t_Supplier (
  FItemID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT ''
)
GO
-- The ERP's common item tree: FItemClassID 4 items, 5 warehouses (and their logistics groups).
CREATE TABLE t_Item (
  FItemID int NOT NULL PRIMARY KEY,
  FItemClassID int NOT NULL DEFAULT 0,
  FNumber nvarchar(80) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT '',
  FParentID int NOT NULL DEFAULT 0,
  FDetail int NOT NULL DEFAULT 1,
  FDeleted int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_ICItem (
  FItemID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(80) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT '',
  FModel nvarchar(255) NULL DEFAULT '',
  FTypeID int NOT NULL DEFAULT 0,
  FOnlineShopPNo nvarchar(100) NULL DEFAULT '',
  FOnlineShopPName nvarchar(255) NULL DEFAULT '',
  FUnitID int NOT NULL DEFAULT 0,
  FUnitGroupID int NOT NULL DEFAULT 0,
  FPriceDecimal int NOT NULL DEFAULT 2,
  FQtyDecimal int NOT NULL DEFAULT 0,
  FTaxRate decimal(18,4) NOT NULL DEFAULT 0,
  FGrossWeight decimal(18,4) NOT NULL DEFAULT 0,
  FPlanMode int NOT NULL DEFAULT 14036,
  FSource int NOT NULL DEFAULT 0,
  FBatchManager int NOT NULL DEFAULT 0,
  FISKFPeriod int NOT NULL DEFAULT 0,
  FKFPeriod int NOT NULL DEFAULT 0,
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FSalePrice decimal(28,10) NOT NULL DEFAULT 0,
  FDeleted int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_ICItemMaterial (
  FItemID int NOT NULL PRIMARY KEY,
  FDefaultLoc int NOT NULL DEFAULT 0,
  FSPID int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_MeasureUnit (
  FItemID int NOT NULL PRIMARY KEY,
  FMeasureUnitID int NOT NULL DEFAULT 0,
  FNumber nvarchar(50) NOT NULL DEFAULT '',
  FName nvarchar(100) NOT NULL DEFAULT '',
  FUnitGroupID int NOT NULL DEFAULT 0,
  FCoefficient decimal(28,10) NOT NULL DEFAULT 1
)
GO
CREATE TABLE t_AuxItem (
  FItemID int NOT NULL PRIMARY KEY,
  FItemClassID int NOT NULL DEFAULT 0,
  FNumber nvarchar(80) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT ''
)
GO
CREATE TABLE t_BarCode (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FTypeID int NOT NULL DEFAULT 4,
  FItemID int NOT NULL DEFAULT 0,
  FBarCode nvarchar(100) NOT NULL DEFAULT ''
)
GO
-- Warehouses: FTypeID 500 ordinary, 20291 and 20293 other stock-holding kinds; FParentID is
-- the warehouse group in t_Item.
CREATE TABLE t_Stock (
  FItemID int NOT NULL PRIMARY KEY,
  FNumber nvarchar(80) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT '',
  FTypeID int NOT NULL DEFAULT 500,
  FIsStockMgr int NOT NULL DEFAULT 0,
  FSPGroupID int NOT NULL DEFAULT 0,
  FParentID int NOT NULL DEFAULT 0,
  FDeleted int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_StockPlace (
  FSPID int NOT NULL PRIMARY KEY,
  FSPGroupID int NOT NULL DEFAULT 0,
  FNumber nvarchar(80) NOT NULL DEFAULT '',
  FName nvarchar(255) NOT NULL DEFAULT ''
)
GO
CREATE TABLE ICInventory (
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FItemID int NOT NULL,
  FStockID int NOT NULL,
  FStockPlaceID int NOT NULL DEFAULT 0,
  FBatchNo nvarchar(255) NOT NULL DEFAULT '',
  FKFDate datetime NULL,
  FKFPeriod int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0
)
GO
-- Category 'EC' holds the parameters of the web order module.
CREATE TABLE t_SystemProfile (
  FCategory nvarchar(50) NOT NULL,
  FKey nvarchar(100) NOT NULL,
  FValue nvarchar(255) NULL DEFAULT '',
  FDescription nvarchar(500) NULL DEFAULT '',
  FReadOnly int NOT NULL DEFAULT 0,
  PRIMARY KEY (FCategory, FKey)
)
GO
CREATE TABLE t_RP_SystemProfile (
  FCategory nvarchar(50) NOT NULL,
  FKey nvarchar(100) NOT NULL,
  FValue nvarchar(255) NULL DEFAULT '',
  FDescription nvarchar(500) NULL DEFAULT '',
  PRIMARY KEY (FCategory, FKey)
)
GO
-- The ERP's code table: FInterID is the code a status column holds, FTypeID its family.
CREATE TABLE t_SubMessage (
  FInterID int NOT NULL PRIMARY KEY,
  FID nvarchar(50) NOT NULL DEFAULT '',
  FTypeID int NOT NULL DEFAULT 0,
  FName nvarchar(255) NOT NULL DEFAULT '',
  FName_CHT nvarchar(255) NULL DEFAULT '',
  FName_EN nvarchar(255) NULL DEFAULT '',
  FParentID int NOT NULL DEFAULT 0,
  FDetail int NOT NULL DEFAULT 1,
  FDeleted int NOT NULL DEFAULT 0
)
GO
CREATE TABLE t_RPVoucherAndBill (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FVoucherID int NOT NULL DEFAULT 0,
  FBillID int NOT NULL DEFAULT 0,
  FBillType int NOT NULL DEFAULT 0
)
GO
-- ---------------------------------------------------------------------------------------------
-- ERP bills the web orders feed: stock bills, sales orders and invoices, purchasing
-- ---------------------------------------------------------------------------------------------
CREATE TABLE ICStockBill (
  FInterID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(100) NOT NULL DEFAULT '',
  FTranType int NOT NULL DEFAULT 21,
  FDate datetime NULL DEFAULT GETDATE(),
  FStatus int NOT NULL DEFAULT 0,
  FUpStockWhenSave int NOT NULL DEFAULT 0,
  FCheckerID int NOT NULL DEFAULT 0,
  FBillerID int NOT NULL DEFAULT 0,
  FROB int NOT NULL DEFAULT 1,
  FCancellation int NOT NULL DEFAULT 0
)
GO
CREATE TABLE ICStockBillEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FItemID int NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  FBatchNo nvarchar(255) NOT NULL DEFAULT '',
  FDCStockID int NOT NULL DEFAULT 0,
  FDCSPID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FAuxQtyInvoice decimal(28,10) NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FSourceBillNo nvarchar(100) NOT NULL DEFAULT '',
  PRIMARY KEY (FInterID, FEntryID)
)
GO
CREATE TABLE SEOrder (
  FInterID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(100) NOT NULL DEFAULT '',
  FTranType int NOT NULL DEFAULT 81,
  FDate datetime NULL DEFAULT GETDATE(),
  FFetchDate datetime NULL,
  FCustID int NOT NULL DEFAULT 0,
  FDeptID int NOT NULL DEFAULT 0,
  FEmpID int NOT NULL DEFAULT 0,
  FCurrencyID int NOT NULL DEFAULT 1,
  FSiteOrderID nvarchar(100) NOT NULL DEFAULT '',
  FExplanation nvarchar(255) NULL DEFAULT '',
  FStatus int NOT NULL DEFAULT 0,
  FClosed int NOT NULL DEFAULT 0,
  FCancellation int NOT NULL DEFAULT 0,
  FBillerID int NOT NULL DEFAULT 0,
  FCheckerID int NOT NULL DEFAULT 0
)
GO
CREATE TABLE SEOrderEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FItemID int NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FAuxQty decimal(28,10) NOT NULL DEFAULT 0,
  FPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAuxPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FStockID int NOT NULL DEFAULT 0,
  FBatchNo nvarchar(255) NOT NULL DEFAULT '',
  FDate datetime NULL,
  FNote nvarchar(255) NULL DEFAULT '',
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FSourceBillNo nvarchar(100) NOT NULL DEFAULT '',
  FMrpClosed int NOT NULL DEFAULT 0,
  FMrpAutoClosed int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
GO
CREATE TABLE ICSale (
  FInterID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(100) NOT NULL DEFAULT '',
  FTranType int NOT NULL DEFAULT 80,
  FDate datetime NULL DEFAULT GETDATE(),
  FStatus int NOT NULL DEFAULT 0,
  FCheckerID int NOT NULL DEFAULT 0,
  FBillerID int NOT NULL DEFAULT 0,
  FROB int NOT NULL DEFAULT 1,
  FCancellation int NOT NULL DEFAULT 0
)
GO
CREATE TABLE ICSaleEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FItemID int NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FSourceBillNo nvarchar(100) NOT NULL DEFAULT '',
  PRIMARY KEY (FInterID, FEntryID)
)
GO
CREATE TABLE POrequest (
  FInterID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(255) NOT NULL DEFAULT '',
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FTranType int NOT NULL DEFAULT 70,
  FCancellation int NOT NULL DEFAULT 0,
  FStatus int NOT NULL DEFAULT 0,
  Fdate datetime NULL,
  FDeptID int NOT NULL DEFAULT 0,
  FBizType int NOT NULL DEFAULT 0,
  Fnote nvarchar(255) NULL DEFAULT '',
  FRequesterID int NOT NULL DEFAULT 0,
  FCheckTime datetime NULL,
  FBillerID int NOT NULL DEFAULT 0,
  FMRP int NOT NULL DEFAULT 0,
  FMultiCheckDate1 datetime NULL,
  FMultiCheckDate2 datetime NULL,
  FMultiCheckDate3 datetime NULL,
  FMultiCheckDate4 datetime NULL,
  FMultiCheckDate5 datetime NULL,
  FMultiCheckDate6 datetime NULL,
  FSelTranType int NOT NULL DEFAULT 0,
  FPOStyle int NOT NULL DEFAULT 0,
  FPrintCount int NOT NULL DEFAULT 0
)
GO
CREATE TABLE POrequestEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FItemID int NOT NULL DEFAULT 0,
  FAuxPropID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  Fauxqty decimal(28,10) NOT NULL DEFAULT 0,
  FSecCoefficient decimal(28,10) NOT NULL DEFAULT 0,
  FSecQty decimal(28,10) NOT NULL DEFAULT 0,
  FAPurchTime datetime NULL,
  FBomInterID int NOT NULL DEFAULT 0,
  Fuse nvarchar(255) NULL DEFAULT '',
  FFetchTime datetime NULL,
  FPlanOrderInterID int NOT NULL DEFAULT 0,
  FSourceBillNo nvarchar(100) NULL DEFAULT '',
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FMrpLockFlag int NOT NULL DEFAULT 0,
  FPlanMode int NOT NULL DEFAULT 14036,
  FMTONo nvarchar(100) NULL DEFAULT '',
  FSupplyID int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
GO
CREATE TABLE POOrder (
  FInterID int NOT NULL PRIMARY KEY,
  FBillNo nvarchar(255) NOT NULL DEFAULT '',
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FTranType int NOT NULL DEFAULT 71,
  FCancellation int NOT NULL DEFAULT 0,
  FStatus int NOT NULL DEFAULT 0,
  FSupplyID int NOT NULL DEFAULT 0,
  Fdate datetime NULL,
  FCurrencyID int NOT NULL DEFAULT 1,
  FCheckDate datetime NULL,
  FMangerID int NOT NULL DEFAULT 0,
  FDeptID int NOT NULL DEFAULT 0,
  FEmpID int NOT NULL DEFAULT 0,
  FBillerID int NOT NULL DEFAULT 0,
  FExchangeRate decimal(18,6) NOT NULL DEFAULT 1,
  FPOStyle int NOT NULL DEFAULT 0,
  FRelateBrID int NOT NULL DEFAULT 0,
  FMultiCheckDate1 datetime NULL,
  FMultiCheckDate2 datetime NULL,
  FMultiCheckDate3 datetime NULL,
  FMultiCheckDate4 datetime NULL,
  FMultiCheckDate5 datetime NULL,
  FMultiCheckDate6 datetime NULL,
  FSelTranType int NOT NULL DEFAULT 0,
  FBrID int NOT NULL DEFAULT 0,
  FExplanation nvarchar(255) NULL DEFAULT '',
  FSettleID int NOT NULL DEFAULT 0,
  FSettleDate datetime NULL,
  FAreaPS int NOT NULL DEFAULT 20302,
  FPOOrdBillNo nvarchar(255) NULL DEFAULT '',
  FManageType int NOT NULL DEFAULT 0,
  FSysStatus int NOT NULL DEFAULT 0,
  FValidaterName nvarchar(100) NULL DEFAULT '',
  FConsignee int NOT NULL DEFAULT 0,
  FVersionNo nvarchar(50) NULL DEFAULT '',
  FChangeDate datetime NULL,
  FChangeUser int NOT NULL DEFAULT 0,
  FChangeCauses nvarchar(255) NULL DEFAULT '',
  FChangeMark nvarchar(255) NULL DEFAULT '',
  FPrintCount int NOT NULL DEFAULT 0,
  FClosed int NOT NULL DEFAULT 0
)
GO
CREATE TABLE POOrderEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FBrNo nvarchar(10) NOT NULL DEFAULT '0',
  FMapNumber nvarchar(100) NULL DEFAULT '',
  FMapName nvarchar(255) NULL DEFAULT '',
  FItemID int NOT NULL DEFAULT 0,
  FAuxPropID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FUnitID int NOT NULL DEFAULT 0,
  FAuxQty decimal(28,10) NOT NULL DEFAULT 0,
  FSecCoefficient decimal(28,10) NOT NULL DEFAULT 0,
  FSecQty decimal(28,10) NOT NULL DEFAULT 0,
  Fauxprice decimal(28,10) NOT NULL DEFAULT 0,
  FAuxTaxPrice decimal(28,10) NOT NULL DEFAULT 0,
  FAmount decimal(18,2) NOT NULL DEFAULT 0,
  FTaxRate decimal(18,4) NOT NULL DEFAULT 0,
  FAuxPriceDiscount decimal(28,10) NOT NULL DEFAULT 0,
  FDescount decimal(18,2) NOT NULL DEFAULT 0,
  FCess decimal(18,4) NOT NULL DEFAULT 0,
  FTaxAmount decimal(18,2) NOT NULL DEFAULT 0,
  FAllAmount decimal(18,2) NOT NULL DEFAULT 0,
  Fdate datetime NULL,
  Fnote nvarchar(255) NULL DEFAULT '',
  FSourceBillNo nvarchar(100) NULL DEFAULT '',
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FContractBillNo nvarchar(100) NULL DEFAULT '',
  FContractInterID int NOT NULL DEFAULT 0,
  FContractEntryID int NOT NULL DEFAULT 0,
  FAuxQtyInvoice decimal(28,10) NOT NULL DEFAULT 0,
  FSecInvoiceQty decimal(28,10) NOT NULL DEFAULT 0,
  FQtyInvoice decimal(28,10) NOT NULL DEFAULT 0,
  FMrpLockFlag int NOT NULL DEFAULT 0,
  FReceiveAmountFor_Commit decimal(18,2) NOT NULL DEFAULT 0,
  FPlanMode int NOT NULL DEFAULT 14036,
  FMTONo nvarchar(100) NULL DEFAULT '',
  FStockQty decimal(28,10) NOT NULL DEFAULT 0,
  FMrpClosed int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
GO
CREATE TABLE POInStockEntry (
  FInterID int NOT NULL,
  FEntryID int NOT NULL,
  FItemID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  PRIMARY KEY (FInterID, FEntryID)
)
GO
-- Links between ERP bills and the rows they were made from (p_UpdateBillRelateData).
CREATE TABLE ICBillRelations (
  FID int IDENTITY(1,1) NOT NULL PRIMARY KEY,
  FTranType int NOT NULL,
  FInterID int NOT NULL,
  FEntryID int NOT NULL DEFAULT 0,
  FSourceTranType int NOT NULL DEFAULT 0,
  FSourceInterId int NOT NULL DEFAULT 0,
  FSourceEntryID int NOT NULL DEFAULT 0,
  FQty decimal(28,10) NOT NULL DEFAULT 0
)
GO
