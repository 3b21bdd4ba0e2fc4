// Variant is the value type that arguments, results, dictionary entries and recordset fields
// share. It keeps the subtypes of the original platform apart (a 16-bit Integer is not a Long)
// because callers and the database layer care which one they were given.
#ifndef AMBIT_BASE_VARIANT_H_
#define AMBIT_BASE_VARIANT_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace ambit {

// Base of everything a Variant can hold by reference: Dictionary, Vector, Recordset and the
// host objects. Holding by shared_ptr gives the reference semantics callers rely on.
class Object {
 public:
  virtual ~Object() = default;
  virtual std::string_view TypeName() const = 0;
};
using ObjectPtr = std::shared_ptr<Object>;

// A date as the original platform stores it: days since 1899-12-30, the fraction being the
// time of day.
struct Date {
  double serial = 0;
  friend bool operator==(const Date&, const Date&) = default;
};

enum class VarType : uint8_t {
  kEmpty,
  kNull,
  kBoolean,
  kInteger,   // 16-bit
  kLong,      // 32-bit
  kLongLong,  // 64-bit
  kDouble,
  kDate,
  kString,
  kObject,
};

std::string_view VarTypeName(VarType t);

class Variant {
 public:
  Variant() = default;
  Variant(bool b) : v_(b) {}
  Variant(int16_t i) : v_(i) {}
  Variant(int32_t i) : v_(i) {}
  Variant(int64_t i) : v_(i) {}
  Variant(double d) : v_(d) {}
  Variant(Date d) : v_(d) {}
  Variant(std::string s) : v_(std::move(s)) {}
  Variant(std::string_view s) : v_(std::string(s)) {}
  Variant(const char* s) : v_(std::string(s)) {}
  Variant(ObjectPtr o) : v_(std::move(o)) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  Variant(std::shared_ptr<T> o) : v_(ObjectPtr(std::move(o))) {}

  static Variant Null() {
    Variant v;
    v.v_ = NullTag{};
    return v;
  }

  VarType type() const { return static_cast<VarType>(v_.index()); }
  bool IsEmpty() const { return type() == VarType::kEmpty; }
  bool IsNull() const { return type() == VarType::kNull; }
  bool IsString() const { return type() == VarType::kString; }
  bool IsObject() const { return type() == VarType::kObject; }
  // True for Integer, Long, LongLong and Double (not Boolean, not Date).
  bool IsNumber() const;

  // Raw accessors: the caller has checked type(). Use the conversions for anything else.
  bool bool_value() const { return std::get<bool>(v_); }
  int16_t int_value() const { return std::get<int16_t>(v_); }
  int32_t long_value() const { return std::get<int32_t>(v_); }
  int64_t longlong_value() const { return std::get<int64_t>(v_); }
  double double_value() const { return std::get<double>(v_); }
  Date date_value() const { return std::get<Date>(v_); }
  const std::string& string_value() const { return std::get<std::string>(v_); }
  const ObjectPtr& object_value() const { return std::get<ObjectPtr>(v_); }

  // The held object as T, or nullptr when this is not an object of that class.
  template <class T>
  std::shared_ptr<T> As() const {
    if (!IsObject()) return nullptr;
    return std::dynamic_pointer_cast<T>(object_value());
  }

  // Same subtype and same value; objects are equal when they are the same object.
  friend bool operator==(const Variant& a, const Variant& b) { return a.v_ == b.v_; }

 private:
  struct NullTag {
    friend bool operator==(NullTag, NullTag) { return true; }
  };
  std::variant<std::monostate, NullTag, bool, int16_t, int32_t, int64_t, double, Date,
               std::string, ObjectPtr>
      v_;
};

}  // namespace ambit

#endif  // AMBIT_BASE_VARIANT_H_
