// Recordset: the result of a statement, or a disconnected table a method builds in memory.
//
// Results are materialised when the statement runs (a static cursor): the connection is free
// for the next statement at once, RecordCount is always known, and a recordset outlives the
// call that produced it. Edits change only the in-memory rows; nothing is written back.
#ifndef AMBIT_DATA_RECORDSET_H_
#define AMBIT_DATA_RECORDSET_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/variant.h"
#include "data/field.h"

namespace ambit {

class RecordFilter;  // compiled Filter expression, see recordset_filter.h

class Recordset : public Object {
 public:
  using Row = std::vector<Variant>;

  // A closed recordset without fields: append fields, then Open (the disconnected form).
  Recordset();
  // An open recordset over the given columns and rows (what a backend returns).
  Recordset(std::vector<FieldInfo> fields, std::vector<Row> rows);
  ~Recordset() override;
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;

  std::string_view TypeName() const override { return "Recordset"; }

  // --- fields
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const FieldInfo& Field(int index) const;  // 0-based; error 3265 when out of range
  // Case-insensitive; -1 when there is no such field.
  int FieldIndex(std::string_view name) const;
  // Fields.Append: only while closed. A duplicate name is an error.
  void AppendField(FieldInfo field);
  void AppendField(std::string name, DataType type, int32_t defined_size = 0);

  // --- state
  void Open();  // opens a disconnected recordset (no rows yet)
  void Close();
  bool IsOpen() const { return open_; }

  // --- cursor (over the rows the filter lets through)
  bool Eof() const;
  bool Bof() const;
  int64_t RecordCount() const;
  void MoveFirst();
  void MoveNext();
  void MovePrevious();
  void MoveLast();

  // Value of a field in the current row; error 3021 when there is none, 3265 for an unknown
  // field.
  const Variant& Value(std::string_view name) const;
  const Variant& Value(int index) const;
  void SetValue(std::string_view name, Variant value);
  void SetValue(int index, Variant value);

  // AddNew appends an empty row and makes it current; Update ends the edit (kept for callers
  // written against the original library: edits are already in place).
  void AddNew();
  void Update();

  // ADO filter expressions: "Col = v And Col2 >= 3", "Col = 'text'", "Col <> 1 Or X < 2",
  // parentheses, LIKE with * or %. An empty text clears the filter. A bad expression is a
  // ComError and leaves the previous filter in place.
  void SetFilter(std::string_view expression);
  const std::string& Filter() const { return filter_text_; }

  // --- for backends, builders and serialisers
  void AddRow(Row row);  // appends without moving the cursor
  // Puts the rows in `less` order, rows it finds equal staying as they were, and the cursor on
  // the first row. Rows already in order cost one comparison each.
  void SortRows(const std::function<bool(const Row&, const Row&)>& less);
  const std::vector<FieldInfo>& fields() const { return fields_; }
  const std::vector<Row>& rows() const { return rows_; }
  // Rows the filter lets through, in order (all rows without a filter).
  std::vector<const Row*> VisibleRows() const;

  // Later result sets of the same batch, in order (NextRecordset).
  void SetNextRecordset(std::shared_ptr<Recordset> next) { next_ = std::move(next); }
  std::shared_ptr<Recordset> NextRecordset() { return std::move(next_); }
  const std::shared_ptr<Recordset>& PeekNextRecordset() const { return next_; }

  // Rows the statement that produced this recordset touched (-1 when not known).
  int64_t records_affected() const { return records_affected_; }
  void set_records_affected(int64_t n) { records_affected_ = n; }

 private:
  void CheckOpen() const;
  const Row& CurrentRow() const;
  Row& CurrentRow();
  void RebuildView();

  std::vector<FieldInfo> fields_;
  std::vector<Row> rows_;
  std::vector<size_t> view_;  // indexes into rows_ that the filter lets through
  size_t pos_ = 0;            // position in view_; view_.size() means EOF
  bool bof_ = false;
  bool open_ = false;
  std::string filter_text_;
  std::unique_ptr<RecordFilter> filter_;
  std::shared_ptr<Recordset> next_;
  int64_t records_affected_ = -1;
};
using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace ambit

#endif  // AMBIT_DATA_RECORDSET_H_
