// Recordset filter expressions, compiled against a fixed set of fields and evaluated on a few
// rows: the parser of the filter text and its comparisons of mixed kinds.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/com_error.h"
#include "data/recordset_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using ambit::Variant;
  static const std::vector<ambit::FieldInfo> fields = [] {
    std::vector<ambit::FieldInfo> f(4);
    f[0].name = "FID";
    f[1].name = "FName";
    f[2].name = "FAmount";
    f[3].name = "FDate";
    return f;
  }();
  static const std::vector<std::vector<Variant>> rows = {
      {Variant(int32_t{1}), Variant("O'Brien"), Variant(1.5), Variant()},
      {Variant(int32_t{-7}), Variant(""), Variant(0.0), Variant("2026-01-05")},
      {Variant(), Variant("测试*%"), Variant(1e300), Variant(true)},
  };
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    auto filter = ambit::RecordFilter::Compile(text, fields);
    for (const auto& row : rows) filter->Matches(row);
  } catch (const ambit::ComError&) {
  }
  return 0;
}
