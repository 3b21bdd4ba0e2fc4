#include "classes/method_table.h"

#include <cctype>

#include "base/conversions.h"
#include "base/text.h"
#include "frame/collections.h"

namespace ambit {
std::string_view ArgKindName(ArgKind k) {
  switch (k) {
    case ArgKind::kText: return "text";
    case ArgKind::kInt16: return "int16";
    case ArgKind::kInt32: return "int32";
    case ArgKind::kDouble: return "double";
    case ArgKind::kDate: return "date";
    case ArgKind::kBool: return "boolean";
    case ArgKind::kDictionary: return "Dictionary";
    case ArgKind::kVector: return "Vector";
    case ArgKind::kVariant: return "variant";
  }
  return "variant";
}

std::string_view ResultKindName(ResultKind k) {
  switch (k) {
    case ResultKind::kNone: return "none";
    case ResultKind::kText: return "text";
    case ResultKind::kInt16: return "int16";
    case ResultKind::kInt32: return "int32";
    case ResultKind::kDouble: return "double";
    case ResultKind::kBool: return "boolean";
    case ResultKind::kDate: return "date";
    case ResultKind::kDictionary: return "Dictionary";
    case ResultKind::kVector: return "Vector";
    case ResultKind::kRecordset: return "Recordset";
    case ResultKind::kVariant: return "variant";
  }
  return "variant";
}

bool ArgEntry::ReadsKey(std::string_view key) const {
  for (const KeyGroup* group : keys)
    for (const KeyEntry& k : *group)
      if (EqualsNoCase(k.name, key)) return true;
  return false;
}

void MethodTable::Add(MethodEntry method) {
  if (Find(method.name))
    throw std::logic_error("method registered twice: " + std::string(class_name()) + "." +
                           method.name);
  methods_.push_back(std::move(method));
}

const MethodEntry* MethodTable::Find(std::string_view name) const {
  for (const MethodEntry& m : methods_)
    if (EqualsNoCase(m.name, name)) return &m;
  return nullptr;
}

Variant ConvertArgument(const MethodEntry& method, const ArgEntry& arg, const Variant& value) {
  auto refuse = [&](std::string why) -> ArgumentError {
    return ArgumentError(method.name, "Argument '" + arg.name + "' of " + method.name +
                                          " expects " + std::string(ArgKindName(arg.kind)) +
                                          ", got " + DescribeValue(value) + why + ".");
  };
  // Null passes for scalars: the methods decide what a missing value means.
  if (value.IsNull() && arg.kind != ArgKind::kDictionary && arg.kind != ArgKind::kVector)
    return value;
  try {
    switch (arg.kind) {
      case ArgKind::kText:
        if (value.IsObject()) throw refuse("");
        return Variant(CStr(value));
      case ArgKind::kInt16: return Variant(CInt(value));
      case ArgKind::kInt32: return Variant(CLng(value));
      case ArgKind::kDouble: return Variant(CDbl(value));
      case ArgKind::kDate: return Variant(CDate(value));
      case ArgKind::kBool: return Variant(CBool(value));
      case ArgKind::kDictionary:
        if (!value.As<Dictionary>()) throw refuse("");
        return value;
      case ArgKind::kVector:
        if (!value.As<Vector>()) throw refuse("");
        return value;
      case ArgKind::kVariant: return value;
    }
  } catch (const ArgumentError&) {
    throw;
  } catch (const ComError& e) {
    throw refuse(" (" + e.description() + ")");
  }
  return value;
}

}  // namespace ambit
