#include "frame/collections.h"

#include <cctype>

#include "base/com_error.h"
#include "base/conversions.h"
#include "base/text.h"

namespace ambit {
namespace {

constexpr char kSource[] = "ambit-order";


[[noreturn]] void OutOfRange(std::string_view what, int index, int count) {
  throw ComError(err::kSubscriptOutOfRange, kSource,
                 "Subscript out of range: " + std::string(what) + " position " +
                     std::to_string(index) + " of " + std::to_string(count) + ".");
}

const Variant& EmptyVariant() {
  static const Variant empty;
  return empty;
}

}  // namespace

Variant ConvertLike(const Variant& value, const Variant& like) {
  switch (like.type()) {
    case VarType::kBoolean: return Variant(CBool(value));
    case VarType::kInteger: return Variant(CInt(value));
    case VarType::kLong: return Variant(CLng(value));
    case VarType::kLongLong: return Variant(CLngLng(value));
    case VarType::kDouble: return Variant(CDbl(value));
    case VarType::kDate: return Variant(CDate(value));
    case VarType::kString: return Variant(CStr(value));
    default: return value;
  }
}

const Dictionary::Entry* Dictionary::Find(std::string_view key) const {
  auto it = index_.find(ToLowerAscii(key));
  return it == index_.end() ? nullptr : &entries_[it->second];
}

const std::string& Dictionary::Name(int position) const {
  if (position < 1 || position > Count()) OutOfRange("Dictionary", position, Count());
  return entries_[static_cast<size_t>(position - 1)].key;
}

const Variant& Dictionary::Value(std::string_view key) const {
  const Entry* e = Find(key);
  return e ? e->value : EmptyVariant();
}

void Dictionary::SetValue(std::string_view key, Variant value) {
  std::string lower = ToLowerAscii(key);
  auto it = index_.find(lower);
  if (it != index_.end()) {
    entries_[it->second].value = std::move(value);
    return;
  }
  index_.emplace(std::move(lower), entries_.size());
  entries_.push_back(Entry{std::string(key), std::move(value)});
}

bool Dictionary::Lookup(std::string_view key, Variant* value) const {
  const Entry* e = Find(key);
  if (!e) return false;
  if (value) *value = e->value;
  return true;
}

Variant Dictionary::GetValue(std::string_view key, const Variant& default_value) const {
  const Entry* e = Find(key);
  if (!e || e->value.IsEmpty()) return default_value;
  try {
    return ConvertLike(e->value, default_value);
  } catch (const ComError& error) {
    throw ComError(error.number(), kSource,
                   "Parameter '" + std::string(key) + "': " + error.description());
  }
}

bool Dictionary::Remove(std::string_view key) {
  auto it = index_.find(ToLowerAscii(key));
  if (it == index_.end()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(it->second));
  index_.clear();
  for (size_t i = 0; i < entries_.size(); ++i) index_.emplace(ToLowerAscii(entries_[i].key), i);
  return true;
}

const Variant& Vector::Item(int index) const {
  if (index < 1 || index > Count()) OutOfRange("Vector", index, Count());
  return items_[static_cast<size_t>(index - 1)];
}

void Vector::SetItem(int index, Variant value) {
  if (index < 1 || index > Count()) OutOfRange("Vector", index, Count());
  items_[static_cast<size_t>(index - 1)] = std::move(value);
}

}  // namespace ambit
