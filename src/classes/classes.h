// The three public classes. Each is a thin shell over the frame; their methods live in the
// family folders and reach clients through the registration tables below.
#ifndef AMBIT_CLASSES_CLASSES_H_
#define AMBIT_CLASSES_CLASSES_H_

#include <cstdint>
#include <vector>

#include "classes/method_table.h"

namespace ambit {

class AmbitOrderInfo : public Component {
 public:
  AmbitOrderInfo() : Component(ComponentClass::kOrderInfo) {}
};

class AmbitOrderUpdate : public Component {
 public:
  AmbitOrderUpdate() : Component(ComponentClass::kOrderUpdate) {}

  // The batch assignment rule FillBatchNo read last on this object; it stands when a later
  // call finds no setting in the account.
  int16_t& AutoBatchNo() { return auto_batch_no_; }

 private:
  int16_t auto_batch_no_ = 0;
};

class AmbitColumnsSet : public Component {
 public:
  AmbitColumnsSet() : Component(ComponentClass::kColumnsSet) {}
};

// The registration table of each class, built on first use.
const MethodTable& AmbitOrderInfoTable();
const MethodTable& AmbitOrderUpdateTable();
const MethodTable& AmbitColumnsSetTable();
// All three, in catalogue order.
std::vector<const MethodTable*> AllClassTables();
// The table of a class by its name (case-insensitive); nullptr when there is none.
const MethodTable* FindClassTable(std::string_view class_name);

}  // namespace ambit

#endif  // AMBIT_CLASSES_CLASSES_H_
