// Dictionary and Vector: the keyed and ordered collections that arguments and results travel
// in. Both are reference types: hold them through DictionaryPtr/VectorPtr, and a method that
// changes a collection it was given changes the caller's collection.
#ifndef AMBIT_FRAME_COLLECTIONS_H_
#define AMBIT_FRAME_COLLECTIONS_H_

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/variant.h"

namespace ambit {

// Keys keep their insertion order and compare without regard to ASCII case, so "sDSN" and
// "sDsn" name one entry (clients are not always consistent).
class Dictionary : public Object {
 public:
  std::string_view TypeName() const override { return "Dictionary"; }

  int Count() const { return static_cast<int>(entries_.size()); }
  // Key at a 1-based position; error 9 outside 1..Count.
  const std::string& Name(int position) const;
  // Value under a key; Empty when the key is absent.
  const Variant& Value(std::string_view key) const;
  // Adds the key at the end or replaces its value in place.
  void SetValue(std::string_view key, Variant value);
  bool Lookup(std::string_view key, Variant* value = nullptr) const;
  // The stored value converted to the default's type, or the default when the key is absent
  // (or holds Empty). A value that cannot take that type is a ComError naming key and value.
  Variant GetValue(std::string_view key, const Variant& default_value) const;
  bool Remove(std::string_view key);

 private:
  struct Entry {
    std::string key;
    Variant value;
  };
  const Entry* Find(std::string_view key) const;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;  // lower-cased key -> position
};
using DictionaryPtr = std::shared_ptr<Dictionary>;

class Vector : public Object {
 public:
  std::string_view TypeName() const override { return "Vector"; }

  int Count() const { return static_cast<int>(items_.size()); }
  void Add(Variant value) { items_.push_back(std::move(value)); }
  // 1-based; error 9 outside 1..Count.
  const Variant& Item(int index) const;
  void SetItem(int index, Variant value);
  const std::vector<Variant>& items() const { return items_; }

 private:
  std::vector<Variant> items_;
};
using VectorPtr = std::shared_ptr<Vector>;

inline DictionaryPtr NewDictionary() { return std::make_shared<Dictionary>(); }
inline VectorPtr NewVector() { return std::make_shared<Vector>(); }

// Converts a value to the subtype of `like` (the typing rule of GetValue and of arguments).
Variant ConvertLike(const Variant& value, const Variant& like);

}  // namespace ambit

#endif  // AMBIT_FRAME_COLLECTIONS_H_
