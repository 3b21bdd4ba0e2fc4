// Registration tables: for each public class, its methods with argument names and kinds and
// the result kind. The server and the command line call any method by name through them, so a
// method exists for clients exactly when it is registered here.
#ifndef AMBIT_CLASSES_METHOD_TABLE_H_
#define AMBIT_CLASSES_METHOD_TABLE_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/com_error.h"
#include "base/variant.h"
#include "frame/method_frame.h"

namespace ambit {

enum class ArgKind { kText, kInt16, kInt32, kDouble, kDate, kBool, kDictionary, kVector, kVariant };
enum class ResultKind {
  kNone, kText, kInt16, kInt32, kDouble, kBool, kDate, kDictionary, kVector, kRecordset, kVariant
};

std::string_view ArgKindName(ArgKind k);
std::string_view ResultKindName(ResultKind k);

// One key a method reads from a Dictionary argument. `default_text` is what an absent key
// counts as (nullptr: no default worth naming), written as the method compares it.
struct KeyEntry {
  const char* name;
  ArgKind kind;
  const char* default_text;
  const char* doc;
};
// Keys read together; methods that read the same keys share one group.
using KeyGroup = std::vector<KeyEntry>;

struct ArgEntry {
  ArgEntry(std::string arg_name, ArgKind arg_kind, bool in_out = false, bool is_optional = false,
          Variant default_val = Variant())
      : name(std::move(arg_name)),
        kind(arg_kind),
        by_ref(in_out),
        optional(is_optional),
        default_value(std::move(default_val)) {}

  std::string name;
  ArgKind kind = ArgKind::kVariant;
  // In/out: the value the method leaves in it goes back to the caller.
  bool by_ref = false;
  // An omitted optional argument takes `default_value`.
  bool optional = false;
  Variant default_value;
  // Dictionary arguments: the keys the method reads, group by group. Keys outside them are
  // reported back to the caller as not read (nothing fails).
  std::vector<const KeyGroup*> keys;
  // Dictionary arguments whose keys are data rather than a fixed set (order keys, column names):
  // what they hold. Such keys are never reported.
  std::string open_keys;

  ArgEntry WithKeys(std::vector<const KeyGroup*> groups) && {
    keys = std::move(groups);
    return std::move(*this);
  }
  ArgEntry WithOpenKeys(std::string what) && {
    open_keys = std::move(what);
    return std::move(*this);
  }
  // Whether a key is one of the declared keys (case-insensitive, as Dictionary compares keys).
  bool ReadsKey(std::string_view key) const;
};

// The invoker receives the arguments already converted to their kinds, in declaration order;
// it may change by_ref arguments in place.
using MethodInvoker = std::function<Variant(Component& self, std::vector<Variant>& args)>;

struct MethodEntry {
  std::string name;
  std::vector<ArgEntry> args;
  ResultKind result = ResultKind::kNone;
  std::string summary;  // one line for the catalogue
  MethodInvoker invoke;
  // Reads a large part of the account (the order lists): the host runs only a few such calls
  // at once, so that they cannot starve the cheap ones.
  bool heavy = false;
};

// Error raised when arguments do not fit a method (unknown method, missing or surplus
// argument, wrong kind). A ComError, so callers that do not care treat it like any other;
// the server answers it with 400 instead of 422.
class ArgumentError : public ComError {
 public:
  ArgumentError(std::string source, std::string description)
      : ComError(err::kInvalidArgument, std::move(source), std::move(description)) {}
};

class MethodTable {
 public:
  MethodTable(ComponentClass cls, std::function<std::unique_ptr<Component>()> create)
      : class_(cls), create_(std::move(create)) {}

  ComponentClass component_class() const { return class_; }
  std::string_view class_name() const { return ClassName(class_); }
  std::unique_ptr<Component> Create() const { return create_(); }

  // A second method of the same name (any case) is a programming error and throws.
  void Add(MethodEntry method);
  // Case-insensitive; nullptr when there is none.
  const MethodEntry* Find(std::string_view name) const;
  const std::vector<MethodEntry>& methods() const { return methods_; }

 private:
  ComponentClass class_;
  std::function<std::unique_ptr<Component>()> create_;
  std::vector<MethodEntry> methods_;
};

// Converts one argument value to its kind; ArgumentError naming method, argument, value and
// kind when it cannot.
Variant ConvertArgument(const MethodEntry& method, const ArgEntry& arg, const Variant& value);

}  // namespace ambit

#endif  // AMBIT_CLASSES_METHOD_TABLE_H_
