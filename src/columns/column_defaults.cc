#include "columns/column_defaults.h"

#include <string>

#include "base/conversions.h"
#include "frame/shared_helpers.h"
#include "frame/text_services.h"
#include "schema/names.h"

namespace ambit {
namespace {

void Line(StringBuilder& sb, std::string_view text) { sb.Append(text).Append("\r\n"); }

// A number key counts when it reads as a number other than 0; a value that is no number is
// refused by the conversion rather than pasted into the statement.
int32_t NumberKey(const Dictionary& para, std::string_view key) {
  return CLng(para.GetValue(key, Variant(int32_t{0})));
}

std::string TextKey(const Dictionary& para, std::string_view key) {
  return CStr(para.GetValue(key, Variant("")));
}

}  // namespace

RecordsetPtr GetColumnsDefaultSet(Component& self, const DictionaryPtr& dctPara) {
  return RunDictionaryMethod(self, "GetColumnsDefaultSet", dctPara, RecordsetPtr(),
                             [&](MethodScope& m) {
    const Dictionary& para = *dctPara;
    int32_t class_type = NumberKey(para, "FCLASSTYPEID");
    StringBuilder sb;
    if (class_type != schema::code::kClassTypeWebOrderEntry) {
      Line(sb, " SELECT t1.*,t2.FMustInput FROM IC_Web2ColumnsDefaultSet t1 ");
      Line(sb, " inner join ICClassTableInfo t2 on t1.FClassTypeID =t2.FClassTypeID and t1.FKey "
               "=t2.FKey ");
      Line(sb, " Where 1=1");
    } else {
      // The line grid has no field table of its own, so nothing marks a field as required.
      Line(sb, " SELECT t1.*, 0 AS FMustInput FROM IC_Web2ColumnsDefaultSet t1 Where 1=1 ");
    }
    if (class_type != 0) Line(sb, " AND t1.FCLASSTYPEID = " + std::to_string(class_type) + " ");
    if (std::string v = TextKey(para, "FListName"); !v.empty())
      Line(sb, " AND t1.FListName = '" + SqlQuote(v) + "' ");
    if (int32_t v = NumberKey(para, "FIndex"); v != 0)
      Line(sb, " AND t1.FIndex = " + std::to_string(v) + " ");
    if (std::string v = TextKey(para, "FKey"); !v.empty())
      Line(sb, " AND t1.FKey = '" + SqlQuote(v) + "' ");
    if (int32_t v = NumberKey(para, "FWidth"); v != 0)
      Line(sb, " AND t1.FWidth = " + std::to_string(v) + " ");
    if (int32_t v = NumberKey(para, "FAlign"); v != 0)
      Line(sb, " AND t1.FAlign = " + std::to_string(v) + " ");
    Line(sb, " ORDER BY t1.FIndex ASC ");
    return m.conn().Execute(sb.ToString());
  });
}

DictionaryPtr GetAllColumnsDefaultSet(Component& self, const DictionaryPtr& dctPara) {
  if (!dctPara || !dctPara->Lookup("FCLASSTYPEID") || !dctPara->Lookup("FListName"))
    return nullptr;
  return RunDictionaryMethod(self, "GetAllColumnsDefaultSet", dctPara, DictionaryPtr(),
                             [&](MethodScope& m) {
    Variant class_type(NumberKey(*dctPara, "FCLASSTYPEID"));
    Variant list_name(SqlQuote(TextKey(*dctPara, "FListName")));
    // The saved columns come first in position order, then the visible fields the grid does
    // not show yet in page and name order; the two halves are told apart by FPart, which the
    // outer select sorts on and leaves out.
    StringBuilder sb;
    auto add = [&sb](std::string_view text) { sb.Append(text).Append(" \r\n"); };
    auto fill = [&](std::string_view templ) {
      add(FormatTemplate(templ, {class_type, list_name}));
    };
    add("SELECT q.FClassTypeID,q.FListName,q.FIndex,q.FKey,q.FWidth,q.FAlign FROM (");
    add("SELECT iwcds.FClassTypeID, ");
    add("        iwcds.FListName, ");
    add("        iwcds.FIndex, ");
    add("        iwcds.FKey,");
    add("        iwcds.FWidth,");
    add("        iwcds.FAlign,");
    add("        0 AS FPart, iwcds.FIndex AS FSortNo, '' AS FSortName");
    add("FROM   IC_Web2ColumnsDefaultSet iwcds");
    fill("Where iwcds.FCLASSTYPEID = %1");
    fill("AND iwcds.FListName = '%2'");
    add("Union All");
    fill("SELECT %1 AS FClassTypeID,");
    add("       'fpVerified' AS FListName,");
    add("       0 AS FIndex,");
    add("       iti.FKey,");
    add("       10 AS FWidth,");
    add("       1 AS FAlign,");
    add("       1 AS FPart, iti.FPage AS FSortNo, iti.FFieldName AS FSortName");
    add("FROM   ICClassTableInfo iti");
    add("WHERE  iti.FKey NOT IN (SELECT iwcds.FKey");
    add("       FROM   IC_Web2ColumnsDefaultSet iwcds");
    fill("       Where iwcds.FCLASSTYPEID = %1");
    fill("       AND iwcds.FListName = '%2')");
    add("       AND iti.FVisible & 2 = 2");
    fill("       AND iti.FClassTypeID = %1");
    add(") q");
    add("ORDER BY q.FPart,q.FSortNo,q.FSortName");
    RecordsetPtr rs = m.conn().Execute(sb.ToString());
    auto layout = NewDictionary();
    int row = 0;
    for (; !rs->Eof(); rs->MoveNext())
      layout->SetValue(std::to_string(++row), Variant(RecordToDictionary(*rs)));
    return layout;
  });
}

}  // namespace ambit
