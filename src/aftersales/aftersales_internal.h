// Small pieces the after-sales files share; not part of any public interface.
#ifndef AMBIT_AFTERSALES_AFTERSALES_INTERNAL_H_
#define AMBIT_AFTERSALES_AFTERSALES_INTERNAL_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "base/conversions.h"
#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"

namespace ambit::aftersales_internal {

// Every statement line ends in CR LF, so that the text reads the same in a server trace.
inline void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// Numbers of an item, 0 when the key is absent; a value that is no number is a ComError naming
// key and value, raised before any statement is built.
inline int32_t IntAt(const Dictionary& d, std::string_view key) {
  return CLng(d.GetValue(key, Variant(int32_t{0})));
}
inline double NumberAt(const Dictionary& d, std::string_view key) {
  return CDbl(d.GetValue(key, Variant(0.0)));
}

// The rows of a result that is a recordset with rows.
inline bool HasRows(const RecordsetPtr& rs) { return rs && rs->IsOpen() && !rs->Eof(); }

// A value of the current row as a number, 0 for Null.
inline double NumberOf(const Variant& v) { return v.IsNull() ? 0 : CDbl(v); }
inline int32_t IntOf(const Variant& v) { return v.IsNull() ? 0 : CLng(v); }

}  // namespace ambit::aftersales_internal

#endif  // AMBIT_AFTERSALES_AFTERSALES_INTERNAL_H_
