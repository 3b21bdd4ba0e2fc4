#include "maintain/status_ops_common.h"

#include <ctime>

#include "frame/shared_helpers.h"

namespace ambit {

std::string NowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

void AppendTradeLogSelectHead(StringBuilder& sb, const std::string& fid, int32_t user_id,
                              std::string_view code, const std::string& client_address,
                              const std::string& now) {
  sb.Append(
      "insert into IC_TradeLog (FOrderFID,FOPUserID,FOPCode,FUserIP,FOPTime,FItemID,FOldValue,"
      "FNewValue) select\r\n");
  sb.Append(fid + ",\r\n");
  sb.Append(std::to_string(user_id) + ",\r\n");
  sb.Append(std::string(code) + ",\r\n");
  sb.Append("'" + SqlQuote(client_address) + "',\r\n");
  sb.Append("'" + now + "',\r\n");
  sb.Append("0,\r\n");
}

}  // namespace ambit
