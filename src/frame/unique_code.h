// Reservation of order unique codes: yyyyMM followed by a serial that restarts each month.
// One batch reserves a block of serials; concurrent callers are kept apart by the single UPDATE
// that reads and raises the counter.
#ifndef AMBIT_FRAME_UNIQUE_CODE_H_
#define AMBIT_FRAME_UNIQUE_CODE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/connection.h"
#include "frame/method_frame.h"

namespace ambit {

// The batch that reserves `count` serials and selects the first one as MaxNum.
std::string BuildUniqueCodeBatch(int16_t count);

// The most serials one reservation hands out: the count is a 16-bit integer.
inline constexpr size_t kMaxUniqueCodeBlock = 32767;

// Reserves `count` serials on `conn` and answers the first; the caller owns first .. first +
// count - 1. A count above kMaxUniqueCodeBlock is refused with error 6 (Overflow) before the
// counter is touched. Runs the update class's error path (Abort, source
// "AmbitOrder.AmbitOrderUpdate.GetOrderUniqueID_New").
int32_t GetOrderUniqueID_New(Component& self, Connection& conn, size_t count);

}  // namespace ambit

#endif  // AMBIT_FRAME_UNIQUE_CODE_H_
