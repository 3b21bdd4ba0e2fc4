// Master data a working account needs beyond the base rows every account gets: users,
// departments, employees, units, items, warehouses and stock places, stock, logistics
// companies, delivery areas and shops. The demo account and generated accounts share it.
#ifndef AMBIT_ACCOUNTS_REFERENCE_DATA_H_
#define AMBIT_ACCOUNTS_REFERENCE_DATA_H_

#include <cstdint>
#include <vector>

#include "data/connection.h"

namespace ambit {

struct ReferenceDataSize {
  int items = 12;
  int shops = 1;
};

// Keys of what SeedReferenceData wrote, for code that builds orders on top of it.
struct ReferenceData {
  std::vector<int32_t> items;
  std::vector<int32_t> warehouses;
  std::vector<int32_t> users;
  std::vector<int32_t> logistics;
  std::vector<int32_t> districts;  // leaf areas; their city and province follow from IC_Area
  std::vector<std::string> shops;  // FWebShopID values
};

// Writes the master data into a fresh account (one batch per table) and answers its keys.
ReferenceData SeedReferenceData(Connection& conn, const ReferenceDataSize& size = {});

// Province, city and district of a district key (the area tree is fixed).
struct AreaPath {
  int32_t province, city, district;
};
AreaPath AreaOf(int32_t district);

}  // namespace ambit

#endif  // AMBIT_ACCOUNTS_REFERENCE_DATA_H_
