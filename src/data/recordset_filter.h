// The filter expressions of Recordset::SetFilter, compiled once and evaluated per row.
//
// Grammar (the subset of the original library's filter language that callers use):
//   expr    := and_expr { "Or" and_expr }
//   and_expr:= term { "And" term }
//   term    := "(" expr ")" | Field op value
//   op      := = <> < > <= >= Like
//   value   := 'text' | #date# | number | Null
#ifndef AMBIT_DATA_RECORDSET_FILTER_H_
#define AMBIT_DATA_RECORDSET_FILTER_H_

#include <memory>
#include <string_view>
#include <vector>

#include "base/variant.h"
#include "data/field.h"

namespace ambit {

class RecordFilter {
 public:
  // Throws ComError (3001, invalid filter) naming the offending part; unknown fields are
  // errors too.
  static std::unique_ptr<RecordFilter> Compile(std::string_view text,
                                               const std::vector<FieldInfo>& fields);
  virtual ~RecordFilter() = default;
  virtual bool Matches(const std::vector<Variant>& row) const = 0;
};

}  // namespace ambit

#endif  // AMBIT_DATA_RECORDSET_FILTER_H_
