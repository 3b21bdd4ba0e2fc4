-- Rows every account needs before the first order arrives: the administrator, code names,
-- operation-log codes, captions of the web order bill, system parameters of the module and
-- the key counters.

-- The administrator (member of group 1, which sees every shop) and the base currency.
INSERT INTO t_User (FUserID, FName, FEmpID, FDescription, FForbidden)
VALUES (16394, N'administrator', 0, N'System administrator', 0)
INSERT INTO t_Group (FGroupID, FUserID) VALUES (1, 16394)
INSERT INTO t_Currency (FCurrencyID, FNumber, FName, FExchangeRate) VALUES (1, 'RMB', N'人民币', 1)
GO
-- t_SubMessage: trade status (type 819)
INSERT INTO t_SubMessage (FInterID, FID, FTypeID, FName, FName_CHT, FName_EN) VALUES
(38191, '01', 819, N'等待买家付款', N'等待買家付款', N'Waiting for buyer payment'),
(38192, '02', 819, N'等待卖家发货', N'等待賣家發貨', N'Waiting for seller to ship'),
(38193, '03', 819, N'卖家已发货，等待买家确认', N'賣家已發貨，等待買家確認', N'Shipped, waiting for buyer confirmation'),
(38194, '04', 819, N'交易成功', N'交易成功', N'Finished'),
(38195, '05', 819, N'交易关闭', N'交易關閉', N'Closed'),
(38196, '06', 819, N'买家已签收', N'買家已簽收', N'Signed for by buyer'),
(38197, '07', 819, N'卖家部分发货', N'賣家部分發貨', N'Partly shipped'),
(38198, '08', 819, N'其他状态', N'其他狀態', N'Other status')
GO
-- After-sales case states (type 843)
INSERT INTO t_SubMessage (FInterID, FID, FTypeID, FName, FName_CHT, FName_EN) VALUES
(38430, '01', 843, N'待审核退货', N'待審核退貨', N'Return awaiting review'),
(38431, '02', 843, N'待审核退款', N'待審核退款', N'Refund awaiting review'),
(38432, '03', 843, N'待确认退货', N'待確認退貨', N'Return awaiting confirmation'),
(38433, '04', 843, N'待签收', N'待簽收', N'Awaiting returned goods'),
(38434, '05', 843, N'待换货', N'待換貨', N'Exchange goods to send'),
(38435, '06', 843, N'已完成', N'已完成', N'Completed'),
(38436, '07', 843, N'已拒绝', N'已拒絕', N'Refused'),
(38437, '08', 843, N'待审核换货', N'待審核換貨', N'Exchange awaiting review'),
(38438, '09', 843, N'补发已完成（订单反审核）', N'補發已完成（訂單反審核）', N'Re-shipment completed, order reopened')
GO
-- After-sales categories (type 844) and handling types (type 845)
INSERT INTO t_SubMessage (FInterID, FID, FTypeID, FName, FName_CHT, FName_EN) VALUES
(38440, '01', 844, N'质量问题', N'質量問題', N'Quality problem'),
(38441, '02', 844, N'发错货', N'發錯貨', N'Wrong goods sent'),
(38442, '03', 844, N'无理由退换', N'無理由退換', N'No reason given'),
(38443, '04', 844, N'其他', N'其他', N'Other'),
(38444, '05', 844, N'补发', N'補發', N'Re-shipment'),
(38450, '01', 845, N'申请退款', N'申請退款', N'Refund applied for'),
(38451, '02', 845, N'申请退款退货', N'申請退款退貨', N'Return applied for'),
(38461, '03', 845, N'申请换货', N'申請換貨', N'Exchange applied for'),
(38452, '04', 845, N'审核退款', N'審核退款', N'Refund reviewed'),
(38454, '05', 845, N'审核退货', N'審核退貨', N'Return reviewed'),
(38459, '06', 845, N'审核换货', N'審核換貨', N'Exchange reviewed'),
(38456, '07', 845, N'签收退货', N'簽收退貨', N'Returned goods signed for'),
(38463, '08', 845, N'签收退货（不调整数量）', N'簽收退貨（不調整數量）', N'Returned goods signed for, target kept'),
(38464, '09', 845, N'签收确认', N'簽收確認', N'Sign-for confirmed'),
(38465, '10', 845, N'回退', N'回退', N'Stepped back'),
(38469, '11', 845, N'补发审核通过', N'補發審核通過', N'Re-shipment approved'),
(39001, '12', 845, N'补发审核拒绝', N'補發審核拒絕', N'Re-shipment refused'),
(39002, '13', 845, N'增加补发订单', N'增加補發訂單', N'Re-shipment recorded')
GO
-- Order types (type 811; FParentID 811 rows map a shop type, held in FID, to its order type)
INSERT INTO t_SubMessage (FInterID, FID, FTypeID, FName, FName_CHT, FName_EN, FParentID) VALUES
(38111, '01', 811, N'网店订单', N'網店訂單', N'Online shop order', 811),
(38112, '02', 811, N'分销订单', N'分銷訂單', N'Distribution order', 811),
(38113, '05', 811, N'商城订单', N'商城訂單', N'Mall order', 811),
(38114, '07', 811, N'微店订单', N'微店訂單', N'Micro-shop order', 811),
(38116, '04', 811, N'团购订单', N'團購訂單', N'Group-buy order', 0),
(38117, '06', 811, N'海外订单', N'海外訂單', N'Overseas order', 0),
(38118, '03', 811, N'自营订单', N'自營訂單', N'Own-shop order', 0),
(38119, '08', 811, N'门店订单', N'門店訂單', N'Store order', 0),
(38472, '1000', 811, N'手工订单', N'手工訂單', N'Manual order', 0),
(38473, '09', 811, N'预售订单', N'預售訂單', N'Presale order', 0),
(38481, '99', 811, N'售后订单', N'售後訂單', N'After-sales order', 0)
GO
-- Shipping types (820), transaction types (821), send types (822), purchase style (162).
-- FID numbers are digits wherever the ERP allows it: the shop list compares them with numbers.
INSERT INTO t_SubMessage (FInterID, FID, FTypeID, FName, FName_CHT, FName_EN) VALUES
(38121, '01', 820, N'快递', N'快遞', N'Express'),
(38122, '02', 820, N'EMS', N'EMS', N'EMS'),
(38123, '03', 820, N'平邮', N'平郵', N'Surface mail'),
(38124, '04', 820, N'卖家包邮', N'賣家包郵', N'Free shipping'),
(38131, '01', 821, N'一口价', N'一口價', N'Fixed price'),
(38132, '02', 821, N'拍卖', N'拍賣', N'Auction'),
(38133, '03', 821, N'货到付款', N'貨到付款', N'Cash on delivery'),
(38141, '01', 822, N'普通发货', N'普通發貨', N'Normal shipment'),
(38142, '02', 822, N'自提', N'自提', N'Pick-up'),
(20301, 'PO01', 162, N'现购', N'現購', N'Cash purchase'),
(20302, 'PO02', 162, N'赊购', N'賒購', N'Credit purchase')
GO
-- Operation-log codes; the description templates name the item, old and new value.
INSERT INTO IC_TradeLogType (FOPCode, FOPName, FLogDesc, FWriteLog) VALUES
(1005, N'替换商品', N'商品由 OldValue 替换为 NewValue', 1),
(1007, N'修改整单优惠', N'整单优惠由 OldValue 改为 NewValue', 1),
(1008, N'修改买家姓名', N'买家姓名由 OldValue 改为 NewValue', 1),
(1009, N'修改发票抬头', N'发票抬头由 OldValue 改为 NewValue', 1),
(1010, N'修改配送方式', N'配送方式由 OldValue 改为 NewValue', 1),
(1011, N'修改运费', N'运费由 OldValue 改为 NewValue', 1),
(1012, N'修改商品运费', N'商品 Item 的运费由 OldValue 改为 NewValue', 1),
(1013, N'修改买家留言', N'买家留言由 OldValue 改为 NewValue', 1),
(1015, N'修改买家昵称', N'买家昵称由 OldValue 改为 NewValue', 1),
(1017, N'修改业务员', N'业务员由 OldValue 改为 NewValue', 1),
(1018, N'修改发票内容', N'发票内容由 OldValue 改为 NewValue', 1),
(1019, N'修改部门', N'部门由 OldValue 改为 NewValue', 1),
(1020, N'删除商品', N'删除商品 Item，OldValue', 1),
(1021, N'新增商品', N'新增商品 Item，NewValue', 1),
(1022, N'修改数量', N'商品 Item 的数量由 OldValue 改为 NewValue', 1),
(1023, N'修改单价', N'商品 Item 的单价由 OldValue 改为 NewValue', 1),
(1024, N'修改商品', N'商品由 OldValue 改为 NewValue', 1),
(1025, N'修改单位', N'商品 Item 的单位由 OldValue 改为 NewValue', 1),
(1026, N'修改商品优惠', N'商品 Item 的优惠由 OldValue 改为 NewValue', 1),
(1027, N'修改套餐', N'商品 Item 的套餐由 OldValue 改为 NewValue', 1),
(1028, N'开票标记', N'开票标记由 OldValue 改为 NewValue', 1),
(2002, N'修改物流公司', N'物流公司由 OldValue 改为 NewValue', 1),
(2003, N'修改配送备注', N'配送备注由 OldValue 改为 NewValue', 1),
(2004, N'修改物流单号', N'物流单号由 OldValue 改为 NewValue', 1),
(2005, N'修改收货省份', N'收货省份由 OldValue 改为 NewValue', 1),
(2006, N'修改收货城市', N'收货城市由 OldValue 改为 NewValue', 1),
(2007, N'修改收货区县', N'收货区县由 OldValue 改为 NewValue', 1),
(2008, N'修改收货地址', N'收货地址由 OldValue 改为 NewValue', 1),
(2009, N'合并订单', N'合并订单 OldValue', 1),
(2011, N'修改联系电话', N'联系电话由 OldValue 改为 NewValue', 1),
(2012, N'修改收货人', N'收货人由 OldValue 改为 NewValue', 1),
(2013, N'修改卖家备注', N'卖家备注由 OldValue 改为 NewValue', 1),
(2014, N'修改批次', N'商品 Item 的批次由 OldValue 改为 NewValue', 1),
(3002, N'修改保价金额', N'保价金额由 OldValue 改为 NewValue', 1),
(3006, N'修改物流成本', N'物流成本由 OldValue 改为 NewValue', 1),
(3012, N'修改发货备注', N'发货备注由 OldValue 改为 NewValue', 1)
GO
-- Bill types of the module and their numbering.
INSERT INTO ICClassType (FID, FName, FName_CHT, FName_EN, FControl) VALUES
(1014300, N'网上订单', N'網上訂單', N'Web order', 32768),
(1014301, N'网上订单分录', N'網上訂單分錄', N'Web order line', 32768),
(1014302, N'退货签收单', N'退貨簽收單', N'Return receipt', 32768)
INSERT INTO ICBillNo (FBillID, FBillName, FPreLetter, FCurNo, FCanAlterBillNo, FEditSelfBill) VALUES
(70, N'采购申请单', 'POREQ', 0, 1, 0),
(71, N'采购订单', 'POORD', 0, 1, 0),
(81, N'销售订单', 'SEORD', 0, 1, 0)
GO
-- Field captions of the web order bill (page 1 header, page 2 lines). FVisible bit 2: shown
-- in grids.
INSERT INTO ICClassTableInfo (FCLASSTYPEID, FPage, FKey, FFieldName, FCaption_CHS, FCaption_CHT, FCaption_EN, FVisible, FMustInput, FIndex) VALUES
(1014300, 1, 'FOrderID', 'FOrderID', N'本地订单号', N'本地訂單號', N'Order No.', 2, 1, 1),
(1014300, 1, 'FSiteOrderID', 'FSiteOrderID', N'网店订单号', N'網店訂單號', N'Shop order No.', 2, 1, 2),
(1014300, 1, 'FWebShopName', 'FWebshopID', N'网店名称', N'網店名稱', N'Shop', 2, 1, 3),
(1014300, 1, 'FOrderDate', 'FOrderDate', N'下单时间', N'下單時間', N'Order date', 2, 0, 4),
(1014300, 1, 'FSitePayDate', 'FSitePayDate', N'付款时间', N'付款時間', N'Payment date', 2, 0, 5),
(1014300, 1, 'FBuyerNick', 'FBuyerNick', N'买家昵称', N'買家暱稱', N'Buyer nick', 2, 0, 6),
(1014300, 1, 'FBuyerName', 'FBuyerName', N'买家姓名', N'買家姓名', N'Buyer name', 2, 0, 7),
(1014300, 1, 'FConsignee', 'FConsignee', N'收货人', N'收貨人', N'Consignee', 2, 1, 8),
(1014300, 1, 'FTelephone', 'FTelephone', N'联系电话', N'聯繫電話', N'Telephone', 2, 0, 9),
(1014300, 1, 'FMobile', 'FMobile', N'手机', N'手機', N'Mobile', 2, 0, 10),
(1014300, 1, 'FDeliveryProvinceName', 'FDeliveryProvince', N'省份', N'省份', N'Province', 2, 0, 11),
(1014300, 1, 'FDeliveryCityName', 'FDeliveryCity', N'城市', N'城市', N'City', 2, 0, 12),
(1014300, 1, 'FDeliveryDistrictName', 'FDeliveryDistrict', N'区县', N'區縣', N'District', 2, 0, 13),
(1014300, 1, 'FDeliveryAddress', 'FDeliveryAddress', N'收货地址', N'收貨地址', N'Address', 2, 1, 14),
(1014300, 1, 'FZipCode', 'FZipCode', N'邮编', N'郵編', N'Zip code', 2, 0, 15),
(1014300, 1, 'FAmount', 'FAmount', N'订单金额', N'訂單金額', N'Amount', 2, 0, 16),
(1014300, 1, 'FTotalFreight', 'FTotalFreight', N'运费', N'運費', N'Freight', 2, 0, 17),
(1014300, 1, 'FDiscountFee', 'FDiscountFee', N'优惠金额', N'優惠金額', N'Discount', 2, 0, 18),
(1014300, 1, 'FBillDiscountFee', 'FBillDiscountFee', N'整单优惠', N'整單優惠', N'Order discount', 2, 0, 19),
(1014300, 1, 'FTransactionStatusName', 'FTransactionStatus', N'交易状态', N'交易狀態', N'Trade status', 2, 0, 20),
(1014300, 1, 'FLogisticsName', 'FLogisticsID', N'物流公司', N'物流公司', N'Carrier', 2, 0, 21),
(1014300, 1, 'FLogisticsOrder', 'FLogisticsOrder', N'物流单号', N'物流單號', N'Waybill No.', 2, 0, 22),
(1014300, 1, 'FWeight', 'FWeight', N'重量', N'重量', N'Weight', 2, 0, 23),
(1014300, 1, 'FBuyerMessage', 'FBuyerMessage', N'买家留言', N'買家留言', N'Buyer message', 2, 0, 24),
(1014300, 1, 'FSellerMessage', 'FSellerMessage', N'卖家备注', N'賣家備註', N'Seller memo', 2, 0, 25),
(1014300, 1, 'FOrderRem', 'FOrderRem', N'订单备注', N'訂單備註', N'Order remark', 2, 0, 26),
(1014300, 1, 'FUniqueCode', 'FUniqueCode', N'唯一码', N'唯一碼', N'Unique code', 2, 0, 27),
(1014300, 1, 'FChkManName', 'FChkMan', N'审核人', N'審核人', N'Reviewer', 2, 0, 28),
(1014300, 1, 'FChkDate', 'FChkDate', N'审核时间', N'審核時間', N'Review date', 2, 0, 29),
(1014300, 1, 'FInvoiceName', 'FInvoiceName', N'发票抬头', N'發票抬頭', N'Invoice title', 2, 0, 30),
(1014300, 1, 'FCurrencyName', 'FCurrencyID', N'币别', N'幣別', N'Currency', 0, 0, 31),
(1014300, 2, 'FItemNumber', 'FItemID', N'商品代码', N'商品代碼', N'Item number', 2, 1, 40),
(1014300, 2, 'FItemName', 'FItemName', N'商品名称', N'商品名稱', N'Item name', 2, 0, 41),
(1014300, 2, 'FUnitName', 'FUnitID', N'单位', N'單位', N'Unit', 2, 1, 42),
(1014300, 2, 'FQuantity', 'FQuantity', N'数量', N'數量', N'Quantity', 2, 1, 43),
(1014300, 2, 'FPrice', 'FPrice', N'单价', N'單價', N'Price', 2, 0, 44),
(1014300, 2, 'FEntryAmount', 'FAmount', N'金额', N'金額', N'Line amount', 2, 0, 45),
(1014300, 2, 'FStockName', 'FStockID', N'发货仓库', N'發貨倉庫', N'Warehouse', 2, 0, 46),
(1014300, 2, 'FSPName', 'FSPID', N'仓位', N'倉位', N'Stock place', 2, 0, 47),
(1014300, 2, 'FBatchNo', 'FBatchNo', N'批次', N'批次', N'Batch', 2, 0, 48),
(1014300, 2, 'FIsFree', 'FIsFree', N'赠品', N'贈品', N'Gift', 2, 0, 49)
GO
-- Default layout of the reviewed-orders grid.
INSERT INTO IC_Web2ColumnsDefaultSet (FClassTypeID, FListName, FKey, FIndex, FWidth, FAlign) VALUES
(1014300, 'fpVerified', 'FOrderID', 1, 120, 0),
(1014300, 'fpVerified', 'FSiteOrderID', 2, 140, 0),
(1014300, 'fpVerified', 'FWebShopName', 3, 100, 0),
(1014300, 'fpVerified', 'FOrderDate', 4, 130, 0),
(1014300, 'fpVerified', 'FBuyerNick', 5, 100, 0),
(1014300, 'fpVerified', 'FConsignee', 6, 80, 0),
(1014300, 'fpVerified', 'FDeliveryAddress', 7, 220, 0),
(1014300, 'fpVerified', 'FAmount', 8, 80, 2),
(1014300, 'fpVerified', 'FTransactionStatusName', 9, 120, 0),
(1014300, 'fpVerified', 'FLogisticsName', 10, 90, 0),
(1014300, 'fpVerified', 'FLogisticsOrder', 11, 120, 0),
(1014300, 'fpVerified', 'FUniqueCode', 12, 100, 0)
GO
-- Parameters of the module. Each value is what the methods assume when the row is missing,
-- so a fresh account behaves as documented; Department and Staff must exist (0: none set).
INSERT INTO t_SystemProfile (FCategory, FKey, FValue, FDescription) VALUES
('EC', 'MergeOrderType', '2', N'合并订单方式：比较的可选条件'),
('EC', 'AddGiftTime', '1', N'赠品添加时机：1 审核时调用促销服务'),
('EC', 'PreCheckOnStock', '1', N'1 只有预审或审核后的订单占用库存；0 所有订单占用库存'),
('EC', 'LockOrderOnStock', '0', N'1 锁定的订单也占用库存'),
('EC', 'AutoBatchNo', '0', N'自动分配批次规则：0 不自动分配'),
('EC', 'PurchaseCheckMode', '2', N'采购需求汇总方式'),
('EC', 'Department', '0', N'采购单默认部门'),
('EC', 'Staff', '0', N'采购单默认业务员'),
('EC', 'TradeSuccessDown2fpNoVerify', '0', N'1 交易成功的退款订单也列入待审核'),
('EC', 'WebShopAccess', '0', N'0 不控制网店权限；1 按用户网店权限过滤'),
('EC', 'MergeFreightToAmount', '1', N'开票时运费并入金额'),
('EC', 'SchemaVersion', '6', N'网上订单表结构版本：打开帐套时据此升级'),
('IC', 'CheckUserGroup', '0', N'按用户组控制单据查看')
GO
-- Logistics trace states and the counters of GetICMaxNum. Counters exist up front so that
-- concurrent first callers only ever update.
INSERT INTO IC_LogisticsTraceState (FID, FName) VALUES
(0, N'未跟踪'), (1, N'已揽收'), (2, N'运输中'), (3, N'派送中'), (4, N'已签收'), (5, N'异常')
INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES
('IC_Web2ERPOrders', 0), ('IC_Web2ERPOrdersEntry', 0), ('POOrder', 0), ('POrequest', 0),
('SEOrder', 0), ('ICStockBill', 0), ('ICSale', 0), ('IC_Receipt', 0)
GO
