#include "classes/classes.h"

#include <cctype>

#include "base/text.h"
#include "classes/registrations.h"

namespace ambit {
namespace {

template <class T>
MethodTable MakeTable(ComponentClass cls) {
  return MethodTable(cls, [] { return std::make_unique<T>(); });
}


}  // namespace

const MethodTable& AmbitOrderInfoTable() {
  static const MethodTable table = [] {
    MethodTable t = MakeTable<AmbitOrderInfo>(ComponentClass::kOrderInfo);
    RegisterOrderInfoMethods(t);
    return t;
  }();
  return table;
}

const MethodTable& AmbitOrderUpdateTable() {
  static const MethodTable table = [] {
    MethodTable t = MakeTable<AmbitOrderUpdate>(ComponentClass::kOrderUpdate);
    RegisterOrderUpdateMethods(t);
    return t;
  }();
  return table;
}

const MethodTable& AmbitColumnsSetTable() {
  static const MethodTable table = [] {
    MethodTable t = MakeTable<AmbitColumnsSet>(ComponentClass::kColumnsSet);
    RegisterColumnsSetMethods(t);
    return t;
  }();
  return table;
}

std::vector<const MethodTable*> AllClassTables() {
  return {&AmbitOrderInfoTable(), &AmbitOrderUpdateTable(), &AmbitColumnsSetTable()};
}

const MethodTable* FindClassTable(std::string_view class_name) {
  for (const MethodTable* t : AllClassTables())
    if (EqualsNoCase(t->class_name(), class_name)) return t;
  return nullptr;
}

}  // namespace ambit
