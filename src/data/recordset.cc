#include "data/recordset.h"

#include <algorithm>
#include <cctype>

#include "base/com_error.h"
#include "base/text.h"
#include "data/connection.h"
#include "data/recordset_filter.h"

namespace ambit {
namespace {

[[noreturn]] void Raise(int32_t number, std::string description) {
  throw ComError(number, kDataErrorSource, std::move(description));
}

}  // namespace

Recordset::Recordset() = default;

Recordset::Recordset(std::vector<FieldInfo> fields, std::vector<Row> rows)
    : fields_(std::move(fields)), rows_(std::move(rows)), open_(true) {
  RebuildView();
}

Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

const FieldInfo& Recordset::Field(int index) const {
  if (index < 0 || index >= FieldCount())
    Raise(err::kItemNotFound, "Item cannot be found in the collection: field index " +
                                  std::to_string(index) + ".");
  return fields_[static_cast<size_t>(index)];
}

int Recordset::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (EqualsNoCase(fields_[i].name, name)) return static_cast<int>(i);
  return -1;
}

void Recordset::AppendField(FieldInfo field) {
  if (open_)
    Raise(err::kObjectOpen, "Fields cannot be appended to an open recordset ('" +
                                      field.name + "').");
  if (field.name.empty()) Raise(err::kInvalidArgument, "A field needs a name.");
  if (FieldIndex(field.name) >= 0)
    Raise(err::kInvalidArgument, "The recordset already has a field named '" + field.name + "'.");
  fields_.push_back(std::move(field));
}

void Recordset::AppendField(std::string name, DataType type, int32_t defined_size) {
  FieldInfo f;
  f.name = std::move(name);
  f.type = type;
  f.defined_size = defined_size;
  AppendField(std::move(f));
}

void Recordset::Open() {
  if (open_) return;
  open_ = true;
  RebuildView();
}

void Recordset::Close() {
  open_ = false;
  rows_.clear();
  view_.clear();
  pos_ = 0;
  filter_.reset();
  filter_text_.clear();
}

void Recordset::CheckOpen() const {
  if (!open_) Raise(err::kObjectClosed, "Operation is not allowed when the object is closed.");
}

bool Recordset::Eof() const {
  CheckOpen();
  return pos_ >= view_.size();
}

bool Recordset::Bof() const {
  CheckOpen();
  return bof_ || view_.empty();
}

int64_t Recordset::RecordCount() const {
  CheckOpen();
  return static_cast<int64_t>(view_.size());
}

void Recordset::MoveFirst() {
  CheckOpen();
  pos_ = 0;
  bof_ = false;
}

void Recordset::MoveNext() {
  CheckOpen();
  if (pos_ >= view_.size())
    Raise(err::kNoCurrentRecord,
          "Either BOF or EOF is True, or the current record has been deleted.");
  ++pos_;
  bof_ = false;
}

void Recordset::MovePrevious() {
  CheckOpen();
  if (bof_)
    Raise(err::kNoCurrentRecord,
          "Either BOF or EOF is True, or the current record has been deleted.");
  if (pos_ == 0) {
    bof_ = true;
  } else {
    --pos_;
  }
}

void Recordset::MoveLast() {
  CheckOpen();
  pos_ = view_.empty() ? 0 : view_.size() - 1;
  bof_ = false;
}

const Recordset::Row& Recordset::CurrentRow() const {
  CheckOpen();
  if (bof_ || pos_ >= view_.size())
    Raise(err::kNoCurrentRecord,
          "Either BOF or EOF is True, or the current record has been deleted.");
  return rows_[view_[pos_]];
}

Recordset::Row& Recordset::CurrentRow() {
  return const_cast<Row&>(static_cast<const Recordset*>(this)->CurrentRow());
}

const Variant& Recordset::Value(std::string_view name) const {
  int i = FieldIndex(name);
  if (i < 0)
    Raise(err::kItemNotFound,
          "Item cannot be found in the collection: no field named '" + std::string(name) + "'.");
  return Value(i);
}

const Variant& Recordset::Value(int index) const {
  const Row& row = CurrentRow();
  Field(index);  // range check with a clear message
  return row[static_cast<size_t>(index)];
}

void Recordset::SetValue(std::string_view name, Variant value) {
  int i = FieldIndex(name);
  if (i < 0)
    Raise(err::kItemNotFound,
          "Item cannot be found in the collection: no field named '" + std::string(name) + "'.");
  SetValue(i, std::move(value));
}

void Recordset::SetValue(int index, Variant value) {
  Row& row = CurrentRow();
  Field(index);
  row[static_cast<size_t>(index)] = std::move(value);
}

void Recordset::AddNew() {
  CheckOpen();
  rows_.emplace_back(fields_.size(), Variant::Null());
  // A new row is current even when the filter would hide it, as in the original library.
  view_.push_back(rows_.size() - 1);
  pos_ = view_.size() - 1;
  bof_ = false;
}

void Recordset::Update() { CheckOpen(); }

void Recordset::SetFilter(std::string_view expression) {
  CheckOpen();
  std::unique_ptr<RecordFilter> compiled;
  bool blank = expression.find_first_not_of(" \t\r\n") == std::string_view::npos;
  if (!blank) compiled = RecordFilter::Compile(expression, fields_);  // throws, state unchanged
  filter_ = std::move(compiled);
  filter_text_ = blank ? "" : std::string(expression);
  RebuildView();
}

void Recordset::AddRow(Row row) {
  row.resize(fields_.size(), Variant::Null());
  rows_.push_back(std::move(row));
  if (open_ && (!filter_ || filter_->Matches(rows_.back()))) view_.push_back(rows_.size() - 1);
}

std::vector<const Recordset::Row*> Recordset::VisibleRows() const {
  std::vector<const Row*> out;
  out.reserve(view_.size());
  for (size_t i : view_) out.push_back(&rows_[i]);
  return out;
}

void Recordset::SortRows(const std::function<bool(const Row&, const Row&)>& less) {
  if (!std::is_sorted(rows_.begin(), rows_.end(), less))
    std::stable_sort(rows_.begin(), rows_.end(), less);
  RebuildView();
}

void Recordset::RebuildView() {
  view_.clear();
  for (size_t i = 0; i < rows_.size(); ++i)
    if (!filter_ || filter_->Matches(rows_[i])) view_.push_back(i);
  pos_ = 0;
  bof_ = false;
}

}  // namespace ambit
