#include "accounts/reference_data.h"

#include <array>
#include <string>

#include "data/command.h"
#include "frame/text_services.h"

namespace ambit {
namespace {

constexpr int32_t kCountryChina = 1;
constexpr int32_t kFirstItem = 1001;
constexpr int32_t kPieceUnit = 1;

struct City {
  const char* name;
  std::array<const char*, 3> districts;
};
struct Province {
  const char* name;
  const char* name_en;
  std::array<City, 2> cities;
};

// Three provinces, two cities each, three districts per city: keys are 100 * province,
// 10000 * province + 100 * city, and city key + district.
const std::array<Province, 3> kProvinces = {{
    {"广东省", "Guangdong", {{{"深圳市", {"南山区", "福田区", "宝安区"}},
                              {"广州市", {"天河区", "越秀区", "海珠区"}}}}},
    {"浙江省", "Zhejiang", {{{"杭州市", {"西湖区", "上城区", "滨江区"}},
                             {"宁波市", {"海曙区", "江北区", "鄞州区"}}}}},
    {"江苏省", "Jiangsu", {{{"南京市", {"玄武区", "秦淮区", "鼓楼区"}},
                            {"苏州市", {"姑苏区", "吴中区", "相城区"}}}}},
}};

std::string Q(const std::string& s) { return SqlLiteral(Variant(s)); }

}  // namespace

AreaPath AreaOf(int32_t district) {
  int32_t city = district / 100;
  return AreaPath{city / 100, city, district};
}

ReferenceData SeedReferenceData(Connection& conn, const ReferenceDataSize& size) {
  ReferenceData out;
  StringBuilder sb;
  // Users beside the administrator the base data already has.
  const std::array<const char*, 4> kUsers = {"张审核", "李配货", "王发货", "赵客服"};
  sb.Append("insert into t_Department (FItemID, FNumber, FName) values "
            "(1, 'D01', N'电商部'), (2, 'D02', N'仓储部')\r\n");
  for (size_t i = 0; i < kUsers.size(); ++i) {
    int32_t id = 16395 + static_cast<int32_t>(i);
    sb.Append("insert into t_Emp (FItemID, FNumber, FName, FDepartmentID) values (" +
              std::to_string(i + 1) + ", 'E0" + std::to_string(i + 1) + "', " + Q(kUsers[i]) +
              ", " + (i == 0 || i == 3 ? "1" : "2") + ")\r\n");
    sb.Append("insert into t_User (FUserID, FName, FEmpID) values (" + std::to_string(id) +
              ", " + Q(kUsers[i]) + ", " + std::to_string(i + 1) + ")\r\n");
    out.users.push_back(id);
  }
  sb.Append("insert into t_MeasureUnit (FItemID, FMeasureUnitID, FNumber, FName) values "
            "(1, 1, 'PCS', N'件'), (2, 2, 'BOX', N'箱')\r\n");
  conn.Execute(sb.ToString());
  sb.Clear();

  for (int i = 0; i < size.items; ++i) {
    int32_t id = kFirstItem + i;
    std::string number = "I" + std::to_string(id);
    std::string name = "演示商品" + std::to_string(i + 1);
    sb.Append("insert into t_Item (FItemID, FItemClassID, FNumber, FName) values (" +
              std::to_string(id) + ", 4, " + Q(number) + ", " + Q(name) + ")\r\n");
    sb.Append("insert into t_ICItem (FItemID, FNumber, FName, FModel, FUnitID, FQtyDecimal, "
              "FSalePrice, FGrossWeight) values (" +
              std::to_string(id) + ", " + Q(number) + ", " + Q(name) + ", " +
              Q("M-" + std::to_string(i % 7)) + ", " + std::to_string(kPieceUnit) + ", 0, " +
              std::to_string(19 + (i % 9) * 10) + ".9, 0.5)\r\n");
    out.items.push_back(id);
    if (sb.Length() > 60000) {
      conn.Execute(sb.ToString());
      sb.Clear();
    }
  }
  const std::array<const char*, 3> kWarehouses = {"深圳总仓", "杭州分仓", "退货仓"};
  for (size_t w = 0; w < kWarehouses.size(); ++w) {
    int32_t id = 101 + static_cast<int32_t>(w);
    sb.Append("insert into t_Stock (FItemID, FNumber, FName, FIsStockMgr) values (" +
              std::to_string(id) + ", 'S0" + std::to_string(w + 1) + "', " + Q(kWarehouses[w]) +
              ", 0)\r\n");
    out.warehouses.push_back(id);
  }
  sb.Append("insert into t_StockPlace (FSPID, FSPGroupID, FNumber, FName) values "
            "(1, 1, 'A-01', N'A区01架'), (2, 1, 'A-02', N'A区02架')\r\n");
  conn.Execute(sb.ToString());
  sb.Clear();

  // Stock: every item in the two shipping warehouses, less of it in the second.
  for (size_t i = 0; i < out.items.size(); ++i) {
    sb.Append("insert into ICInventory (FItemID, FStockID, FBatchNo, FQty) values (" +
              std::to_string(out.items[i]) + ", 101, '', " + std::to_string(50 + i % 5 * 40) +
              "), (" + std::to_string(out.items[i]) + ", 102, '', " + std::to_string(i % 3 * 5) +
              ")\r\n");
    if (sb.Length() > 60000) {
      conn.Execute(sb.ToString());
      sb.Clear();
    }
  }
  struct Carrier {
    const char* number;
    const char* name;
    const char* name_cht;
    const char* name_en;
  };
  const std::array<Carrier, 5> kCarriers = {{{"EMS", "EMS", "EMS", "EMS"},
                                             {"SF", "顺丰速运", "順豐速運", "SF Express"},
                                             {"YTO", "圆通速递", "圓通速遞", "YTO Express"},
                                             {"ZTO", "中通快递", "中通快遞", "ZTO Express"},
                                             {"STO", "申通快递", "申通快遞", "STO Express"}}};
  for (size_t c = 0; c < kCarriers.size(); ++c) {
    int32_t id = 201 + static_cast<int32_t>(c);
    sb.Append("insert into IC_Logistics (FItemID, FID, FNumber, FName, FName_CHT, FName_EN) "
              "values (" + std::to_string(id) + ", " + std::to_string(id) + ", " +
              Q(kCarriers[c].number) + ", " + Q(kCarriers[c].name) + ", " +
              Q(kCarriers[c].name_cht) + ", " + Q(kCarriers[c].name_en) + ")\r\n");
    out.logistics.push_back(id);
  }
  sb.Append("insert into IC_Area (FID, FNumber, FName, FName_EN, FParentID, FLevel) values (" +
            std::to_string(kCountryChina) + ", 'CN', N'中国', 'China', 0, 0)\r\n");
  for (size_t p = 0; p < kProvinces.size(); ++p) {
    int32_t province = static_cast<int32_t>(p + 1) * 100;
    sb.Append("insert into IC_Area (FID, FName, FName_EN, FParentID, FLevel, FType) values (" +
              std::to_string(province) + ", " + Q(kProvinces[p].name) + ", " +
              Q(kProvinces[p].name_en) + ", 1, 1, 1)\r\n");
    for (size_t c = 0; c < 2; ++c) {
      int32_t city = province * 100 + static_cast<int32_t>(c + 1) * 10;
      sb.Append("insert into IC_Area (FID, FName, FParentID, FLevel, FType) values (" +
                std::to_string(city) + ", " + Q(kProvinces[p].cities[c].name) + ", " +
                std::to_string(province) + ", 2, 2)\r\n");
      for (size_t d = 0; d < 3; ++d) {
        int32_t district = city * 100 + static_cast<int32_t>(d + 1);
        sb.Append("insert into IC_Area (FID, FName, FParentID, FLevel, FType, FZipCode) values (" +
                  std::to_string(district) + ", " + Q(kProvinces[p].cities[c].districts[d]) +
                  ", " + std::to_string(city) + ", 3, 3, '" + std::to_string(518000 + d) +
                  "')\r\n");
        out.districts.push_back(district);
      }
    }
  }
  for (int s = 0; s < size.shops; ++s) {
    std::string id = "SHOP" + std::to_string(s + 1);
    sb.Append("insert into IC_WebshopToStorage (FWebShopID, FWebShopName, FWebShopAddress, "
              "FStockID) values (" + Q(id) + ", " + Q("网店" + std::to_string(s + 1)) + ", " +
              Q("https://shop" + std::to_string(s + 1) + ".example") + ", 101)\r\n");
    out.shops.push_back(id);
  }
  conn.Execute(sb.ToString());
  return out;
}

}  // namespace ambit
