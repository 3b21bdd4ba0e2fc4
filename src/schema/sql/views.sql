-- Views the order lists join by FID. Both are narrowed to the orders they say something about:
-- a list LEFT JOINs them and reads a missing row as "nothing to report". The narrowing filters
-- are written so that an index answers them (FRefundStatus > 0, the service-order flag), which
-- keeps the lists fast on accounts with millions of lines.

-- Refund state per order: FRefundStatus is 1 while any line has an open or completed case;
-- FIsShowWaitVerifyTemp counts the lines still to be shipped, so an order whose every line is
-- refunded or closed shows 0 and stays out of the split by refund.
CREATE VIEW vw_Web2ERPOrdersRefund
AS
SELECT e.FID,
       MAX(e.FRefundStatus) AS FRefundStatus,
       SUM(CASE WHEN e.FRefundStatus = 0 AND e.FIsRowClose = 0 THEN 1 ELSE 0 END) AS FIsShowWaitVerifyTemp
FROM IC_Web2ERPOrdersEntry e
WHERE e.FID IN (SELECT r.FID FROM IC_Web2ERPOrdersEntry r WHERE r.FRefundStatus > 0)
GROUP BY e.FID
GO
-- Home-improvement service orders: marked on the header or on any line.
CREATE VIEW vw_Web2ERPOrdersJZ
AS
SELECT FID, 'Y' AS FIs_jzservice_order
FROM IC_Web2ERPOrders
WHERE FIs_jzservice_order = 'Y'
UNION
SELECT FID, 'Y' AS FIs_jzservice_order
FROM IC_Web2ERPOrdersEntry
WHERE FIs_jzservice_order = 'Y'
GO
-- Promotions with the name of the activity they belong to, by the key order lines carry.
CREATE VIEW vwICPSPromotion
AS
SELECT p.FPromotionID, p.FActivityID, ISNULL(a.FActivityName, '') AS FActivityName
FROM IC_CDPSPromotion p
LEFT JOIN IC_CDPSActivity a ON a.FActivityID = p.FActivityID
GO
