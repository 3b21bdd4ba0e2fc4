-- ERP procedures the order methods call. Key lists arrive as comma-separated text; every
-- procedure turns them into rows of #WebOrderKeys with p_WebOrderKeyList first.

-- Fills #WebOrderKeys (created by the caller) with the numeric keys of a comma list; blanks,
-- empty items and anything that is not a whole number are skipped.
CREATE PROCEDURE p_WebOrderKeyList
  @FIDs varchar(max)
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @List varchar(max)
  DECLARE @Start int
  DECLARE @Pos int
  DECLARE @Key varchar(50)
  SET @List = REPLACE(ISNULL(@FIDs, ''), ' ', '') + ','
  SET @Start = 1
  SET @Pos = CHARINDEX(',', @List, @Start)
  WHILE @Pos > 0
  BEGIN
    SET @Key = SUBSTRING(@List, @Start, @Pos - @Start)
    IF @Key <> '' AND LEN(@Key) < 10 AND @Key NOT LIKE '%[^0-9]%'
      IF NOT EXISTS (SELECT 1 FROM #WebOrderKeys WHERE FID = CONVERT(int, @Key))
        INSERT INTO #WebOrderKeys (FID) VALUES (CONVERT(int, @Key))
    SET @Start = @Pos + 1
    SET @Pos = CHARINDEX(',', @List, @Start)
  END
END
GO
-- Hands out a new key for a table. Rows written without this procedure (downloads, imports,
-- the demo) are respected: the counter first moves past the largest key already stored.
-- The counter moves in one UPDATE, so concurrent callers never receive the same key.
CREATE PROCEDURE GetICMaxNum
  @TableName varchar(50),
  @FInterID int OUTPUT,
  @Increment int = 1,
  @UserID int = 0
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @Step int
  DECLARE @Used int
  DECLARE @Old int
  SET @Step = ISNULL(@Increment, 1)
  IF @Step < 1 SET @Step = 1
  SET @Used = 0
  IF @TableName = 'IC_Web2ERPOrders'
    SELECT @Used = ISNULL(MAX(FID), 0) FROM IC_Web2ERPOrders
  ELSE IF @TableName = 'IC_Web2ERPOrdersEntry'
    SELECT @Used = ISNULL(MAX(FEntryID), 0) FROM IC_Web2ERPOrdersEntry
  ELSE IF @TableName = 'POOrder'
    SELECT @Used = ISNULL(MAX(FInterID), 0) FROM POOrder
  ELSE IF @TableName = 'POrequest'
    SELECT @Used = ISNULL(MAX(FInterID), 0) FROM POrequest
  ELSE IF @TableName = 'SEOrder'
    SELECT @Used = ISNULL(MAX(FInterID), 0) FROM SEOrder
  ELSE IF @TableName = 'ICStockBill'
    SELECT @Used = ISNULL(MAX(FInterID), 0) FROM ICStockBill
  ELSE IF @TableName = 'ICSale'
    SELECT @Used = ISNULL(MAX(FInterID), 0) FROM ICSale
  ELSE IF @TableName = 'IC_Receipt'
    SELECT @Used = ISNULL(MAX(FID), 0) FROM IC_Receipt
  IF NOT EXISTS (SELECT 1 FROM ICMaxNum WHERE FTableName = @TableName)
    INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES (@TableName, @Used)
  UPDATE ICMaxNum SET FMaxNum = @Used WHERE FTableName = @TableName AND FMaxNum < @Used
  UPDATE ICMaxNum SET @Old = FMaxNum, FMaxNum = FMaxNum + @Step WHERE FTableName = @TableName
  SET @FInterID = @Old + 1
END
GO
-- Reserves @Count consecutive unique-code serials of the current month and returns the first.
-- Same counters and rules as the review in the middle tier: the month of the serials lives in
-- IC_MaxNum, the last serial in ICMaxNum, both under 'UniqueCode'; a new month (or the first
-- use ever) re-bases the serial on the largest code already given this month.
CREATE PROCEDURE p_ReserveUniqueCode
  @Count int,
  @First int OUTPUT
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @Num int
  DECLARE @MaxNum int
  DECLARE @NewNum int
  DECLARE @YearMoth nvarchar(20)
  DECLARE @maxUniqueID nvarchar(50)
  SET @YearMoth = CONVERT(varchar(6), GETDATE(), 112)
  SET @Num = @Count
  IF NOT EXISTS (SELECT 1 FROM IC_MaxNum WHERE FTableName = 'UniqueCode')
  BEGIN
    INSERT INTO IC_MaxNum (FTableName, FUserID, FNumber, FFlag)
    VALUES ('UniqueCode', 16394, @YearMoth, 1)
    SET @maxUniqueID = NULL
    SELECT @maxUniqueID = CONVERT(varchar(50), MAX(CONVERT(decimal(28,0), FUniqueCode)))
    FROM IC_Web2ERPOrders WHERE FUniqueCode LIKE @YearMoth + '%'
    IF @maxUniqueID IS NULL
      SET @NewNum = 1
    ELSE
    BEGIN
      SET @Num = CONVERT(int, SUBSTRING(@maxUniqueID, 7, 50)) + @Num
      SET @NewNum = CONVERT(int, SUBSTRING(@maxUniqueID, 7, 50)) + 1
    END
    IF NOT EXISTS (SELECT 1 FROM ICMaxNum WHERE FTableName = 'UniqueCode')
      INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES ('UniqueCode', @Num)
    ELSE
      UPDATE ICMaxNum SET FMaxNum = @Num WHERE FTableName = 'UniqueCode'
    SET @MaxNum = @NewNum
  END
  ELSE
  BEGIN
    SET @MaxNum = 0
    IF NOT EXISTS (SELECT 1 FROM IC_MaxNum WHERE FTableName = 'UniqueCode' AND FNumber = @YearMoth)
    BEGIN
      UPDATE IC_MaxNum SET FNumber = @YearMoth WHERE FTableName = 'UniqueCode'
      SET @maxUniqueID = NULL
      SELECT @maxUniqueID = CONVERT(varchar(50), MAX(CONVERT(decimal(28,0), FUniqueCode)))
      FROM IC_Web2ERPOrders WHERE FUniqueCode LIKE @YearMoth + '%'
      IF @maxUniqueID IS NULL
        UPDATE ICMaxNum SET FMaxNum = 0 WHERE FTableName = 'UniqueCode'
      ELSE
        UPDATE ICMaxNum SET FMaxNum = CONVERT(int, SUBSTRING(@maxUniqueID, 7, 50))
        WHERE FTableName = 'UniqueCode'
    END
    IF NOT EXISTS (SELECT 1 FROM ICMaxNum WHERE FTableName = 'UniqueCode')
      INSERT INTO ICMaxNum (FTableName, FMaxNum) VALUES ('UniqueCode', @Num)
    ELSE
      UPDATE ICMaxNum SET @MaxNum = FMaxNum, FMaxNum = FMaxNum + @Num WHERE FTableName = 'UniqueCode'
    SET @MaxNum = @MaxNum + 1
  END
  SET @First = @MaxNum
END
GO
-- Chooses where an order line ships from: the shop's own warehouse when it holds enough of
-- the item, otherwise the warehouse and stock place holding the most (those that cover the
-- line's quantity first). With no stock anywhere the shop's warehouse stands, place 0.
CREATE PROCEDURE P_ReturnStockIDAndSPID
  @FID int,
  @FItemID int,
  @FWebShopID varchar(50),
  @FDeliveryProvince varchar(80),
  @FDeliveryCity varchar(80),
  @FDeliveryDistrict varchar(80),
  @FStockID int OUTPUT,
  @FSPID int OUTPUT
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @Need decimal(28,10)
  DECLARE @ShopStockID int
  SET @FStockID = 0
  SET @FSPID = 0
  SET @ShopStockID = 0
  SELECT @Need = ISNULL(SUM(FQuantity), 0) FROM IC_Web2ERPOrdersEntry
  WHERE FID = @FID AND FItemID = @FItemID
  SELECT TOP 1 @ShopStockID = FStockID FROM IC_WebshopToStorage
  WHERE FWebShopID = @FWebShopID ORDER BY FID
  SET @ShopStockID = ISNULL(@ShopStockID, 0)

  IF @ShopStockID > 0
    SELECT TOP 1 @FStockID = s.FStockID, @FSPID = s.FStockPlaceID
    FROM (SELECT FStockID, FStockPlaceID, SUM(FQty) AS FQty FROM ICInventory
          WHERE FItemID = @FItemID AND FStockID = @ShopStockID
          GROUP BY FStockID, FStockPlaceID) s
    WHERE s.FQty > 0 AND s.FQty >= @Need
    ORDER BY s.FQty DESC, s.FStockPlaceID

  IF @FStockID = 0
    SELECT TOP 1 @FStockID = s.FStockID, @FSPID = s.FStockPlaceID
    FROM (SELECT FStockID, FStockPlaceID, SUM(FQty) AS FQty FROM ICInventory
          WHERE FItemID = @FItemID
          GROUP BY FStockID, FStockPlaceID) s
    INNER JOIN t_Stock st ON st.FItemID = s.FStockID
    WHERE s.FQty > 0
    ORDER BY CASE WHEN s.FQty >= @Need THEN 0 ELSE 1 END, s.FQty DESC, s.FStockID, s.FStockPlaceID

  IF @FStockID = 0
  BEGIN
    SET @FStockID = @ShopStockID
    SET @FSPID = 0
  END
  SELECT @FStockID AS FStockID, @FSPID AS FSPID
END
GO
-- Stock check before review. Orders are taken one by one in key order; each line group (item,
-- warehouse, batch, stock place) must fit into the stock on hand less what other reviewed
-- orders still hold. Orders that fit are reviewed at once (unless @CheckOnly is 1), so later
-- orders of the same call see them as holding stock, and take the next unique code. Returns one
-- row per short line.
CREATE PROCEDURE p_CheckWebOrder
  @FIDs varchar(max),
  @UserID int,
  @CheckOnly int = 0,
  @Reserved int = 0
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @FID int
  DECLARE @Serial int
  CREATE TABLE #WebOrderKeys (FID int NOT NULL)
  CREATE TABLE #CheckShort (FID int NOT NULL, FEntryID int NOT NULL, FOrderID nvarchar(100) NULL,
                            FNumber nvarchar(80) NULL)
  EXEC p_WebOrderKeyList @FIDs

  SELECT @FID = MIN(FID) FROM #WebOrderKeys
  WHILE @FID IS NOT NULL
  BEGIN
    INSERT INTO #CheckShort (FID, FEntryID, FOrderID, FNumber)
    SELECT e.FID, e.FEntryID, o.FOrderID, i.FNumber
    FROM IC_Web2ERPOrdersEntry e
    INNER JOIN IC_Web2ERPOrders o ON o.FID = e.FID
    INNER JOIN t_ICItem i ON i.FItemID = e.FItemID
    INNER JOIN (SELECT FItemID, FStockID, FBatchNo, FSPID, SUM(FQuantity) AS FNeed
                FROM IC_Web2ERPOrdersEntry
                WHERE FID = @FID AND FIsRowClose = 0
                GROUP BY FItemID, FStockID, FBatchNo, FSPID) n
      ON n.FItemID = e.FItemID AND n.FStockID = e.FStockID AND n.FBatchNo = e.FBatchNo
     AND n.FSPID = e.FSPID
    WHERE e.FID = @FID AND e.FIsRowClose = 0
      AND n.FNeed >
          ISNULL((SELECT SUM(v.FQty) FROM ICInventory v
                  WHERE v.FItemID = n.FItemID AND v.FStockID = n.FStockID
                    AND v.FBatchNo = n.FBatchNo AND v.FStockPlaceID = n.FSPID), 0)
        - ISNULL((SELECT SUM(h.FQuantity) FROM IC_Web2ERPOrdersEntry h
                  INNER JOIN IC_Web2ERPOrders ho ON ho.FID = h.FID
                  WHERE h.FItemID = n.FItemID AND h.FStockID = n.FStockID
                    AND h.FBatchNo = n.FBatchNo AND h.FSPID = n.FSPID
                    AND h.FID <> @FID AND h.FIsRowClose = 0
                    AND ho.FCheckStatus = 1 AND ho.FVoidStatus = 0 AND (ho.FOrderStatus & 8) <> 8
                    AND NOT EXISTS (SELECT 1 FROM ICStockBillEntry be
                                    INNER JOIN ICStockBill b ON b.FInterID = be.FInterID
                                    WHERE be.FSourceTranType = 1014301
                                      AND be.FSourceEntryID = h.FEntryID
                                      AND (b.FUpStockWhenSave = 1 OR b.FStatus = 1))), 0)

    IF ISNULL(@CheckOnly, 0) <> 1 AND NOT EXISTS (SELECT 1 FROM #CheckShort WHERE FID = @FID)
       AND EXISTS (SELECT 1 FROM IC_Web2ERPOrders
                   WHERE FID = @FID AND FCheckStatus = 0 AND FVoidStatus = 0)
    BEGIN
      EXEC p_ReserveUniqueCode 1, @Serial OUTPUT
      UPDATE IC_Web2ERPOrders
      SET FOrderStatus = 2, FCheckStatus = 1, FChkMan = @UserID, FChkDate = GETDATE(),
          FUniqueCode = CONVERT(varchar(6), GETDATE(), 112) + CONVERT(varchar(20), @Serial)
      WHERE FID = @FID
    END

    SELECT @FID = MIN(FID) FROM #WebOrderKeys WHERE FID > @FID
  END

  SELECT FID, FOrderID, FNumber, FEntryID FROM #CheckShort ORDER BY FID, FEntryID
  DROP TABLE #CheckShort
  DROP TABLE #WebOrderKeys
END
GO
-- Makes one ERP sales order per listed web order that is not void and has none yet: the
-- head from the order, one line per order line with FSourceTranType 1014300 pointing back at
-- the order and line. The web order keeps the sales order number in FSaleNo. Returns one row
-- per listed order saying what happened to it.
CREATE PROCEDURE SP_WebOrder2ERPOrder
  @FIDs varchar(max),
  @FetchDate varchar(30),
  @UserID int
AS
BEGIN
  SET NOCOUNT ON
  DECLARE @FID int
  DECLARE @InterID int
  DECLARE @BillNo nvarchar(100)
  DECLARE @Fetch datetime
  CREATE TABLE #WebOrderKeys (FID int NOT NULL)
  CREATE TABLE #SaleOrderResult (FID int NOT NULL, FOrderID nvarchar(100) NULL, FInterID int NOT NULL,
                                 FBillNo nvarchar(100) NULL, FSuccess int NOT NULL,
                                 FMessage nvarchar(255) NULL)
  EXEC p_WebOrderKeyList @FIDs
  IF ISDATE(@FetchDate) = 1
    SET @Fetch = CONVERT(datetime, @FetchDate)
  ELSE
    SET @Fetch = GETDATE()

  SELECT @FID = MIN(FID) FROM #WebOrderKeys
  WHILE @FID IS NOT NULL
  BEGIN
    IF NOT EXISTS (SELECT 1 FROM IC_Web2ERPOrders WHERE FID = @FID)
      INSERT INTO #SaleOrderResult (FID, FOrderID, FInterID, FBillNo, FSuccess, FMessage)
      VALUES (@FID, '', 0, '', 0, 'order not found')
    ELSE IF EXISTS (SELECT 1 FROM IC_Web2ERPOrders WHERE FID = @FID AND FVoidStatus <> 0)
      INSERT INTO #SaleOrderResult (FID, FOrderID, FInterID, FBillNo, FSuccess, FMessage)
      SELECT FID, FOrderID, 0, '', 0, 'order is void' FROM IC_Web2ERPOrders WHERE FID = @FID
    ELSE IF EXISTS (SELECT 1 FROM SEOrderEntry WHERE FSourceTranType = 1014300 AND FSourceInterId = @FID)
      INSERT INTO #SaleOrderResult (FID, FOrderID, FInterID, FBillNo, FSuccess, FMessage)
      SELECT o.FID, o.FOrderID, 0, ISNULL(o.FSaleNo, ''), 0, 'sales order exists'
      FROM IC_Web2ERPOrders o WHERE o.FID = @FID
    ELSE
    BEGIN
      EXEC GetICMaxNum 'SEOrder', @InterID OUTPUT
      IF @InterID < 1000000
        SET @BillNo = 'SEORD' + RIGHT('000000' + CONVERT(varchar(20), @InterID), 6)
      ELSE
        SET @BillNo = 'SEORD' + CONVERT(varchar(20), @InterID)
      INSERT INTO SEOrder (FInterID, FBillNo, FTranType, FDate, FFetchDate, FDeptID, FEmpID,
                           FCurrencyID, FSiteOrderID, FExplanation, FStatus, FClosed, FBillerID)
      SELECT @InterID, @BillNo, 81, GETDATE(), @Fetch, ISNULL(s.FDeptID, 0), ISNULL(s.FStaffID, 0),
             o.FCurrencyID, o.FSiteOrderID, o.FOrderID, 0, 0, @UserID
      FROM IC_Web2ERPOrders o
      LEFT JOIN IC_WebshopToStorage s ON s.FWebShopID = o.FWebshopID
      WHERE o.FID = @FID
      INSERT INTO SEOrderEntry (FInterID, FEntryID, FItemID, FUnitID, FQty, FAuxQty, FPrice,
                                FAuxPrice, FAmount, FStockID, FBatchNo, FDate, FNote,
                                FSourceTranType, FSourceInterId, FSourceEntryID, FSourceBillNo)
      SELECT @InterID,
             (SELECT COUNT(*) FROM IC_Web2ERPOrdersEntry e2
              WHERE e2.FID = e.FID AND e2.FEntryID <= e.FEntryID),
             e.FItemID, e.FUnitID, e.FQuantity, e.FQuantity, e.FPrice, e.FPrice, e.FAmount,
             e.FStockID, e.FBatchNo, @Fetch, ISNULL(e.FSellerMessage, ''),
             1014300, e.FID, e.FEntryID, o.FOrderID
      FROM IC_Web2ERPOrdersEntry e
      INNER JOIN IC_Web2ERPOrders o ON o.FID = e.FID
      WHERE e.FID = @FID
      UPDATE IC_Web2ERPOrders SET FSaleNo = @BillNo WHERE FID = @FID
      INSERT INTO #SaleOrderResult (FID, FOrderID, FInterID, FBillNo, FSuccess, FMessage)
      SELECT FID, FOrderID, @InterID, @BillNo, 1, '' FROM IC_Web2ERPOrders WHERE FID = @FID
    END
    SELECT @FID = MIN(FID) FROM #WebOrderKeys WHERE FID > @FID
  END

  SELECT FID, FOrderID, FInterID, FBillNo, FSuccess, FMessage FROM #SaleOrderResult ORDER BY FID
  DROP TABLE #SaleOrderResult
  DROP TABLE #WebOrderKeys
END
GO
-- Refreshes the stock figures shown on the lines of the listed orders: FRealStock is what the
-- line's warehouse holds of the item, FAvailStock that less what reviewed orders hold.
CREATE PROCEDURE P_UpdateWebOrderStock
  @FWebShopID varchar(50),
  @FWebShopType int,
  @FIDs varchar(max)
AS
BEGIN
  SET NOCOUNT ON
  CREATE TABLE #WebOrderKeys (FID int NOT NULL)
  EXEC p_WebOrderKeyList @FIDs

  UPDATE IC_Web2ERPOrdersEntry
  SET FRealStock = ISNULL((SELECT SUM(v.FQty) FROM ICInventory v
                           WHERE v.FItemID = IC_Web2ERPOrdersEntry.FItemID
                             AND v.FStockID = IC_Web2ERPOrdersEntry.FStockID), 0)
  WHERE FID IN (SELECT FID FROM #WebOrderKeys)

  UPDATE IC_Web2ERPOrdersEntry
  SET FAvailStock = FRealStock
      - ISNULL((SELECT SUM(h.FQuantity) FROM IC_Web2ERPOrdersEntry h
                INNER JOIN IC_Web2ERPOrders ho ON ho.FID = h.FID
                WHERE h.FItemID = IC_Web2ERPOrdersEntry.FItemID
                  AND h.FStockID = IC_Web2ERPOrdersEntry.FStockID
                  AND h.FIsRowClose = 0 AND ho.FCheckStatus = 1 AND ho.FVoidStatus = 0
                  AND (ho.FOrderStatus & 8) <> 8), 0)
  WHERE FID IN (SELECT FID FROM #WebOrderKeys)

  DROP TABLE #WebOrderKeys
END
GO
-- Records which source rows the lines of a bill were made from, replacing what was recorded
-- for that bill before.
CREATE PROCEDURE p_UpdateBillRelateData
  @FTranType int,
  @FInterID int,
  @TableName varchar(50),
  @EntryTableName varchar(50)
AS
BEGIN
  SET NOCOUNT ON
  DELETE FROM ICBillRelations WHERE FTranType = @FTranType AND FInterID = @FInterID
  IF @EntryTableName = 'POOrderEntry'
    INSERT INTO ICBillRelations (FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId,
                                 FSourceEntryID, FQty)
    SELECT @FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId, FSourceEntryID, FQty
    FROM POOrderEntry WHERE FInterID = @FInterID AND FSourceInterId <> 0
  ELSE IF @EntryTableName = 'POrequestEntry'
    INSERT INTO ICBillRelations (FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId,
                                 FSourceEntryID, FQty)
    SELECT @FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId, FSourceEntryID, FQty
    FROM POrequestEntry WHERE FInterID = @FInterID AND FSourceInterId <> 0
  ELSE IF @EntryTableName = 'SEOrderEntry'
    INSERT INTO ICBillRelations (FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId,
                                 FSourceEntryID, FQty)
    SELECT @FTranType, FInterID, FEntryID, FSourceTranType, FSourceInterId, FSourceEntryID, FQty
    FROM SEOrderEntry WHERE FInterID = @FInterID AND FSourceInterId <> 0
END
GO
-- Stock still free for the items of the listed orders: on hand per item, warehouse, batch and
-- stock place, less what reviewed orders outside the list hold and no stock bill has taken.
CREATE PROCEDURE P_GetAllStockNew
  @FIDs varchar(max)
AS
BEGIN
  SET NOCOUNT ON
  CREATE TABLE #WebOrderKeys (FID int NOT NULL)
  EXEC p_WebOrderKeyList @FIDs

  SELECT v.FItemID, v.FStockID, v.FBatchNo, v.FStockPlaceID AS FSPID,
         SUM(v.FQty)
         - ISNULL((SELECT SUM(h.FQuantity) FROM IC_Web2ERPOrdersEntry h
                   INNER JOIN IC_Web2ERPOrders ho ON ho.FID = h.FID
                   WHERE h.FItemID = v.FItemID AND h.FStockID = v.FStockID
                     AND h.FBatchNo = v.FBatchNo AND h.FSPID = v.FStockPlaceID
                     AND h.FIsRowClose = 0 AND ho.FCheckStatus = 1 AND ho.FVoidStatus = 0
                     AND (ho.FOrderStatus & 8) <> 8
                     AND h.FID NOT IN (SELECT FID FROM #WebOrderKeys)
                     AND NOT EXISTS (SELECT 1 FROM ICStockBillEntry be
                                     INNER JOIN ICStockBill b ON b.FInterID = be.FInterID
                                     WHERE be.FSourceTranType = 1014301
                                       AND be.FSourceEntryID = h.FEntryID
                                       AND (b.FUpStockWhenSave = 1 OR b.FStatus = 1))), 0)
         AS FStockQty
  FROM ICInventory v
  WHERE v.FItemID IN (SELECT e.FItemID FROM IC_Web2ERPOrdersEntry e
                      WHERE e.FID IN (SELECT FID FROM #WebOrderKeys))
  GROUP BY v.FItemID, v.FStockID, v.FBatchNo, v.FStockPlaceID
  ORDER BY v.FItemID, v.FStockID, v.FBatchNo, v.FStockPlaceID

  DROP TABLE #WebOrderKeys
END
GO
