-- Indexes for the access paths of the order methods: lines by order, stock bills and sales
-- orders by their web order source, status columns the lists filter on, and the lookups of
-- the reservation rule (item, warehouse, batch, stock place).
CREATE INDEX IX_Web2ERPOrders_FOrderID ON IC_Web2ERPOrders (FOrderID)
GO
CREATE INDEX IX_Web2ERPOrders_FSiteOrderID ON IC_Web2ERPOrders (FSiteOrderID)
GO
-- The status lists read their states in list order (pay date, order number, FID): a page is
-- read in order from the index instead of sorting the account, and a keyset cursor seeks. The
-- shop ends each key so that counting a state and its shop join never read the table.
CREATE INDEX IX_Web2ERPOrders_StatusPay ON IC_Web2ERPOrders (FOrderStatus, FCheckStatus, FVoidStatus, FSitePayDate, FOrderID, FID, FWebshopID)
GO
CREATE INDEX IX_Web2ERPOrders_CheckPay ON IC_Web2ERPOrders (FCheckStatus, FVoidStatus, FSitePayDate, FOrderID, FID, FWebshopID)
GO
-- One shop's orders in list order, with the order date the filter compares beside them.
CREATE INDEX IX_Web2ERPOrders_ShopPay ON IC_Web2ERPOrders (FWebshopID, FSitePayDate, FOrderID, FID, FOrderDate)
GO
-- The order date rides along so that a page filtered by order date alone reads index entries,
-- not a row of the table for every order it passes over.
CREATE INDEX IX_Web2ERPOrders_PayDate ON IC_Web2ERPOrders (FSitePayDate, FOrderID, FID, FOrderDate)
GO
CREATE INDEX IX_Web2ERPOrders_FTransactionStatus ON IC_Web2ERPOrders (FTransactionStatus)
GO
-- A buyer's recent orders (GetLatelyData) are a seek, however many orders one nick has (an
-- empty nick gathers every order without one).
CREATE INDEX IX_Web2ERPOrders_FBuyerNick ON IC_Web2ERPOrders (FBuyerNick, FOrderDate)
GO
CREATE INDEX IX_Web2ERPOrders_FWebshopID ON IC_Web2ERPOrders (FWebshopID, FOrderDate)
GO
-- The orders of a narrow order-date range, found from the index alone: the lists then fetch
-- and sort just those (the list's own order is the pay date's).
CREATE INDEX IX_Web2ERPOrders_FOrderDate ON IC_Web2ERPOrders (FOrderDate, FID)
GO
CREATE INDEX IX_Web2ERPOrders_FUniqueCode ON IC_Web2ERPOrders (FUniqueCode)
GO
CREATE INDEX IX_Web2ERPOrders_FSaleNo ON IC_Web2ERPOrders (FSaleNo)
GO
-- An order's lines in order; the refund and closed-row state beside them answer the lists'
-- refund view and closed-row join without reading the lines.
CREATE INDEX IX_Web2ERPOrdersEntry_FID ON IC_Web2ERPOrdersEntry (FID, FIndex, FRefundStatus, FIsRowClose)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_FSiteOrderID ON IC_Web2ERPOrdersEntry (FSiteOrderID)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_Stock ON IC_Web2ERPOrdersEntry (FItemID, FStockID, FBatchNo, FSPID)
GO
-- vw_Web2ERPOrdersRefund finds the orders of refunded lines from this index alone.
CREATE INDEX IX_Web2ERPOrdersEntry_FRefundStatus ON IC_Web2ERPOrdersEntry (FRefundStatus, FID)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_FRefundFID ON IC_Web2ERPOrdersEntry (FRefundFID)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_Source ON IC_Web2ERPOrdersEntry (FID_SRC, FEntryID_SRC)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_FServiceStatus ON IC_Web2ERPOrdersEntry (FServiceStatus)
GO
-- The home-improvement service flag is rare; vw_Web2ERPOrdersJZ finds its orders through these.
CREATE INDEX IX_Web2ERPOrders_JzService ON IC_Web2ERPOrders (FIs_jzservice_order)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_JzService ON IC_Web2ERPOrdersEntry (FIs_jzservice_order)
GO
CREATE INDEX IX_Web2ErpOrderSerial_FEntryID ON IC_Web2ErpOrderSerial (FEntryID)
GO
CREATE INDEX IX_RefundInfo_FEntryID ON IC_RefundInfo (FEntryID)
GO
CREATE INDEX IX_RefundInfo_FServiceStatus ON IC_RefundInfo (FServiceStatus)
GO
CREATE INDEX IX_RefundRecord_FEntryID ON IC_RefundRecord (FEntryID)
GO
CREATE INDEX IX_RefundRecord_FRefundFID ON IC_RefundRecord (FRefundFID)
GO
CREATE INDEX IX_ReceiptEntry_FID ON IC_ReceiptEntry (FID)
GO
CREATE INDEX IX_ReceiptEntry_Source ON IC_ReceiptEntry (FEntryID_SRC, FID_SRC)
GO
CREATE INDEX IX_TradeLog_FOrderFID ON IC_TradeLog (FOrderFID, FOPTime)
GO
CREATE INDEX IX_WebShopClient_FNick ON IC_WebShopClient (FNick)
GO
-- The lists' joins of closed lines (t99), closed rows (t100) and blacklisted buyers (t23).
CREATE INDEX IX_Web2ERPOrdersEntry_FStatus ON IC_Web2ERPOrdersEntry (FStatus, FID)
GO
CREATE INDEX IX_Web2ERPOrdersEntry_FIsRowClose ON IC_Web2ERPOrdersEntry (FIsRowClose, FID)
GO
CREATE INDEX IX_WebShopClient_FIsBlackList ON IC_WebShopClient (FIsBlackList, FNick)
GO
CREATE INDEX IX_WebshopToStorage_FWebShopID ON IC_WebshopToStorage (FWebShopID)
GO
CREATE INDEX IX_Web2ColumnsDefaultSet_List ON IC_Web2ColumnsDefaultSet (FClassTypeID, FListName, FIndex)
GO
CREATE INDEX IX_ICClassTableInfo_Key ON ICClassTableInfo (FCLASSTYPEID, FKey)
GO
CREATE INDEX IX_GoodsToMateriel_Code ON IC_GoodsToMateriel (FMaterielCode)
GO
CREATE INDEX IX_ICInventory_Item ON ICInventory (FItemID, FStockID, FBatchNo, FStockPlaceID)
GO
CREATE INDEX IX_ICStockBillEntry_Source ON ICStockBillEntry (FSourceTranType, FSourceEntryID)
GO
CREATE INDEX IX_ICStockBillEntry_SourceInter ON ICStockBillEntry (FSourceInterId)
GO
CREATE INDEX IX_SEOrderEntry_Source ON SEOrderEntry (FSourceTranType, FSourceInterId)
GO
CREATE INDEX IX_ICSaleEntry_Source ON ICSaleEntry (FSourceTranType, FSourceInterId, FSourceEntryID)
GO
CREATE INDEX IX_POOrderEntry_Item ON POOrderEntry (FItemID)
GO
CREATE INDEX IX_BillRelations_Bill ON ICBillRelations (FTranType, FInterID)
GO
CREATE INDEX IX_t_Item_Class ON t_Item (FItemClassID, FNumber)
GO
CREATE INDEX IX_t_ICItem_FNumber ON t_ICItem (FNumber)
GO
CREATE INDEX IX_t_BarCode_Item ON t_BarCode (FItemID, FTypeID)
GO
-- The order lines' unit names (GetWebOrderEntryData) are looked up by the unit's ID.
CREATE INDEX IX_t_MeasureUnit_FMeasureUnitID ON t_MeasureUnit (FMeasureUnitID)
GO
CREATE INDEX IX_t_SubMessage_Type ON t_SubMessage (FTypeID, FID)
GO
CREATE INDEX IX_t_RPVoucherAndBill_Bill ON t_RPVoucherAndBill (FBillID, FBillType)
GO
