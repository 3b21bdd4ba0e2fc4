// Small pieces the maintenance methods share: the time text they stamp rows with and the head
// of the operation-log insert-select that several of them build.
#ifndef AMBIT_MAINTAIN_STATUS_OPS_COMMON_H_
#define AMBIT_MAINTAIN_STATUS_OPS_COMMON_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "frame/text_services.h"

namespace ambit {

// Local time as "yyyy-MM-dd HH:mm:ss", the form the order columns are written in.
std::string NowText();

// Appends "insert into IC_TradeLog (...) select" and the values up to and including the item
// ("0,"), one per line; the caller appends the old and new value lines and the FROM.
void AppendTradeLogSelectHead(StringBuilder& sb, const std::string& fid, int32_t user_id,
                              std::string_view code, const std::string& client_address,
                              const std::string& now);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_STATUS_OPS_COMMON_H_
