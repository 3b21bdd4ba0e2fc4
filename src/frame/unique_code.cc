#include "frame/unique_code.h"

#include "base/com_error.h"
#include "base/conversions.h"
#include "frame/text_services.h"

namespace ambit {
namespace {

// The largest code of the current month, as a number so that "2026129" < "20261210".
constexpr char kLargestCodeOfMonth[] =
    "select @maxUniqueID=convert(nvarchar(50),max(convert(decimal(28,0),"
    "case when isnull(FUniqueCode,'')='' then '0' else FUniqueCode end))) "
    "from IC_Web2ERPOrders with(nolock) where FUniqueCode like @YearMoth+'%'\r\n";

}  // namespace

std::string BuildUniqueCodeBatch(int16_t count) {
  StringBuilder sb;
  sb.Append("SET NOCOUNT ON\r\n");
  sb.Append("declare @Num int,@MaxNum int,@NewNum int,@YearMoth nvarchar(20),"
            "@maxUniqueID nvarchar(50)\r\n");
  sb.Append("set @YearMoth=CONVERT(VARCHAR(6),GETDATE(),112)\r\n");
  sb.Append("set @Num=" + std::to_string(count) + "\r\n");
  // First use ever: start from the codes orders of this month already carry.
  sb.Append("if not exists(select 1 from IC_MaxNum where FTableName='UniqueCode')\r\n");
  sb.Append("begin\r\n");
  sb.Append("insert into IC_MaxNum(FTableName,FUserID,FNumber,FFlag) "
            "values('UniqueCode',16394,@YearMoth,1)\r\n");
  sb.Append(kLargestCodeOfMonth);
  sb.Append("if @maxUniqueID is null\r\n");
  sb.Append("set @NewNum=1\r\n");
  sb.Append("else\r\n");
  sb.Append("begin\r\n");
  sb.Append("set @maxUniqueID=substring(@maxUniqueID,7,50)\r\n");
  sb.Append("set @Num=convert(int,@maxUniqueID)+@Num\r\n");
  sb.Append("set @NewNum=convert(int,@maxUniqueID)+1\r\n");
  sb.Append("end\r\n");
  sb.Append("if exists(select 1 from ICMaxNum where FTableName='UniqueCode')\r\n");
  sb.Append("update ICMaxNum set FMaxNum=@Num where FTableName='UniqueCode'\r\n");
  sb.Append("else\r\n");
  sb.Append("insert into ICMaxNum(FTableName,FMaxNum) values('UniqueCode',@Num)\r\n");
  sb.Append("set @MaxNum=@NewNum\r\n");
  sb.Append("end\r\n");
  sb.Append("else\r\n");
  sb.Append("begin\r\n");
  sb.Append("set @MaxNum=0\r\n");
  // A new month re-bases the counter on the codes already given out in it.
  sb.Append("if not exists(select 1 from IC_MaxNum where FTableName='UniqueCode' "
            "and FNumber=@YearMoth)\r\n");
  sb.Append("begin\r\n");
  sb.Append("update IC_MaxNum set FNumber=@YearMoth where FTableName='UniqueCode'\r\n");
  sb.Append(kLargestCodeOfMonth);
  sb.Append("if @maxUniqueID is null\r\n");
  sb.Append("update ICMaxNum set FMaxNum=0 where FTableName='UniqueCode'\r\n");
  sb.Append("else\r\n");
  sb.Append("update ICMaxNum set FMaxNum=convert(int,substring(@maxUniqueID,7,50)) "
            "where FTableName='UniqueCode'\r\n");
  sb.Append("end\r\n");
  sb.Append("if not exists(select 1 from ICMaxNum where FTableName='UniqueCode')\r\n");
  sb.Append("insert into ICMaxNum(FTableName,FMaxNum) values('UniqueCode',@Num)\r\n");
  sb.Append("else\r\n");
  sb.Append("update ICMaxNum set @MaxNum=FMaxNum,FMaxNum=FMaxNum+@Num "
            "where FTableName='UniqueCode'\r\n");
  sb.Append("set @MaxNum=@MaxNum+1\r\n");
  sb.Append("end\r\n");
  sb.Append("select @MaxNum as MaxNum\r\n");
  return sb.ToString();
}

int32_t GetOrderUniqueID_New(Component& self, Connection& conn, size_t count) {
  try {
    // Narrowed to 16 bits, a larger count would lower the counter and the month's serials would
    // be handed out again. Refusing it (the platform's overflow) keeps codes unique and leaves
    // the caller's batch unrun; a review that large can be sent in parts.
    if (count > kMaxUniqueCodeBlock)
      throw ComError(err::kOverflow, "ambit-order",
                     "Overflow: " + std::to_string(count) + " unique codes asked for at once; " +
                         std::to_string(kMaxUniqueCodeBlock) + " is the most one call reserves.");
    RecordsetPtr rs = conn.Execute(BuildUniqueCodeBatch(static_cast<int16_t>(count)));
    return CLng(rs->Value(0));
  } catch (...) {
    self.RaiseFromMethod("GetOrderUniqueID_New", std::current_exception());
  }
}

}  // namespace ambit
