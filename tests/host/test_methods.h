// Test-only registration tables for the host and server tests: methods of the shapes real ones
// take, writing to and reading from a table `notes(id INTEGER, txt VARCHAR(50))`.
#ifndef AMBIT_TESTS_HOST_TEST_METHODS_H_
#define AMBIT_TESTS_HOST_TEST_METHODS_H_

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/conversions.h"
#include "classes/classes.h"
#include "frame/collections.h"
#include "frame/method_frame.h"
#include "frame/shared_helpers.h"

namespace ambit::testing {

inline Variant InsertNote(MethodScope& m, const Variant& id) {
  m.conn().Execute("INSERT INTO notes (id, txt) VALUES (" + CStr(id) + ", 'x')\r\n");
  return Variant(true);
}

// Inserts a note, then fails as a statement on a missing table would.
inline MethodEntry WriteThenFail(const char* name) {
  return {name, {{"sDsn", ArgKind::kText}, {"lID", ArgKind::kInt32}}, ResultKind::kBool,
          "inserts a note, then fails", [name](Component& self, std::vector<Variant>& a) {
            return RunMethod(self, name, a[0].string_value(), [&](MethodScope& m) -> Variant {
              InsertNote(m, a[1]);
              throw ComError(208, "db", "Invalid object name 'no_such_table'.");
            });
          }};
}

// AmbitOrderUpdate: Write, WriteThenFail (error path, Abort), WriteThenThrow (an exception
// that bypasses the frame, no Abort), AbortQuietly (Abort then a normal return), Stamp (in/out
// text and Dictionary), WhoAmI (user, client address).
inline MethodTable MakeUpdateTable() {
  MethodTable t(ComponentClass::kOrderUpdate, [] { return std::make_unique<AmbitOrderUpdate>(); });
  t.Add({"Write",
         {{"sDsn", ArgKind::kText}, {"lID", ArgKind::kInt32}},
         ResultKind::kBool,
         "inserts a note",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Write", a[0].string_value(),
                            [&](MethodScope& m) { return InsertNote(m, a[1]); });
         }});
  t.Add(WriteThenFail("WriteThenFail"));
  t.Add({"WriteThenThrow",
         {{"sDsn", ArgKind::kText}, {"lID", ArgKind::kInt32}},
         ResultKind::kBool,
         "inserts a note, then throws past the frame",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           RunMethod(self, "WriteThenThrow", a[0].string_value(),
                     [&](MethodScope& m) { return InsertNote(m, a[1]); });
           throw ComError(5, "test", "thrown after the frame returned");
         }});
  t.Add({"AbortQuietly",
         {{"sDsn", ArgKind::kText}, {"lID", ArgKind::kInt32}},
         ResultKind::kBool,
         "inserts a note, aborts and returns",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "AbortQuietly", a[0].string_value(), [&](MethodScope& m) {
             InsertNote(m, a[1]);
             self.call_context().Abort();
             return Variant(true);
           });
         }});
  t.Add({"Stamp",
         {{"sDsn", ArgKind::kText},
          {"sOrderIDs", ArgKind::kText, true},
          {"dicRnt", ArgKind::kDictionary, true},
          {"iStep", ArgKind::kInt16, false, true, Variant(int16_t{1})}},
         ResultKind::kInt32,
         "in/out arguments",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Stamp", a[0].string_value(), [&](MethodScope&) {
             a[1] = Variant(a[1].string_value() + ",42");
             a[2].As<Dictionary>()->SetValue("Stamped", Variant(true));
             return Variant(static_cast<int32_t>(a[3].int_value() * 10));
           });
         }});
  t.Add({"WhoAmI",
         {{"sDsn", ArgKind::kText}},
         ResultKind::kText,
         "user and client",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "WhoAmI", a[0].string_value(), [&](MethodScope&) {
             return Variant(std::to_string(self.user_login()->UserID()) + "@" + GetClientAddress() +
                            "/" + self.call_context().DataSourceName());
           });
         }});
  return t;
}

// AmbitOrderInfo: Count (a query) and TempRoundTrip (a temp table across two statements of
// one call), Rows (a large list), Slow (sleeps), WriteNoTrans (writes without a host transaction, then fails).
inline MethodTable MakeInfoTable() {
  MethodTable t(ComponentClass::kOrderInfo, [] { return std::make_unique<AmbitOrderInfo>(); });
  t.Add({"Count",
         {{"sDsn", ArgKind::kText}},
         ResultKind::kRecordset,
         "counts notes",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Count", a[0].string_value(), [&](MethodScope& m) {
             return Variant(m.conn().Execute("SELECT COUNT(*) AS n FROM notes\r\n"));
           });
         }});
  t.Add({"TempRoundTrip",
         {{"sDsn", ArgKind::kText}},
         ResultKind::kRecordset,
         "a temp table between statements",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "TempRoundTrip", a[0].string_value(), [&](MethodScope& m) {
             m.conn().Execute("CREATE TABLE #t (v INT)\r\n");
             m.conn().Execute("INSERT INTO #t (v) VALUES (7)\r\n");
             return Variant(m.conn().Execute("SELECT v FROM #t\r\n"));
           });
         }});
  t.Add({"Slow",
         {{"sDsn", ArgKind::kText}, {"lMillis", ArgKind::kInt32}},
         ResultKind::kBool,
         "takes its time",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Slow", a[0].string_value(), [&](MethodScope&) {
             std::this_thread::sleep_for(std::chrono::milliseconds(a[1].long_value()));
             return Variant(true);
           });
         }});
  t.Add({"Rows",
         {{"sDsn", ArgKind::kText}, {"lCount", ArgKind::kInt32}},
         ResultKind::kRecordset,
         "a list of lCount rows built in memory, with text that needs escaping",
         [](Component& self, std::vector<Variant>& a) -> Variant {
           return RunMethod(self, "Rows", a[0].string_value(), [&](MethodScope&) {
             auto rs = std::make_shared<Recordset>();
             rs->AppendField("id", DataType::kInteger);
             rs->AppendField("txt", DataType::kVarWChar, 50);
             rs->AppendField(FieldInfo{"amount", DataType::kDecimal, 0, 18, 2});
             rs->AppendField("at", DataType::kDate);
             rs->AppendField("none", DataType::kVarChar, 10);
             rs->Open();
             for (int32_t i = 0; i < a[1].long_value(); ++i) {
               rs->AddNew();
               rs->SetValue(0, Variant(i));
               rs->SetValue(1, Variant("订单 \"" + std::to_string(i) + "\"\n\\"));
               rs->SetValue(2, Variant(i / 3.0));
               rs->SetValue(3, Variant(Date{46000 + i / 7.0}));
             }
             return Variant(rs);
           });
         }});
  t.Add(WriteThenFail("WriteNoTrans"));  // an info class: no host transaction
  return t;
}

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_HOST_TEST_METHODS_H_
