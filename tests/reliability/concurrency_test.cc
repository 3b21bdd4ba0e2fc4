// Sixteen clients against a real server for a bounded time, mixing the calls of a busy shop
// floor on a generated account: lists, saves, reviews and their undoing, locks, merges, splits
// and after-sales steps. Refusals the methods are designed to give are fine; anything else
// (a busy database, a duplicate key, a dropped connection) fails, and afterwards unique codes,
// order keys and line totals must still add up.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "accounts/generator.h"
#include "support/product_server.h"

namespace ambit::testing {
namespace {

using json = nlohmann::ordered_json;

constexpr int kClients = 16;
constexpr auto kDuration = std::chrono::seconds(4);

struct Totals {
  std::string quantity, amount;
};

Totals LineTotals(Connection& conn) {
  return {Scalar(conn, "select cast(sum(FQuantity) as decimal(18,2)) from IC_Web2ERPOrdersEntry"),
          Scalar(conn, "select cast(sum(FAmount) as decimal(18,2)) from IC_Web2ERPOrdersEntry")};
}

std::map<int, std::string> Codes(Connection& conn) {
  std::map<int, std::string> out;
  for (RecordsetPtr rs = conn.Execute("select FID, FUniqueCode from IC_Web2ERPOrders");
       !rs->Eof(); rs->MoveNext())
    out[CLng(rs->Value(0))] = CStr(rs->Value(1));
  return out;
}

// Text an error may carry only when something went wrong that no method means to answer.
bool Undesigned(const std::string& description) {
  for (const char* bad : {"database is locked", "busy", "UNIQUE", "duplicate", "Duplicate",
                          "constraint", "PRIMARY KEY", "no such", "Invalid object", "syntax"})
    if (description.find(bad) != std::string::npos) return true;
  return false;
}

TEST(ConcurrencyTest, SixteenClientsKeepCodesKeysAndTotalsWhole) {
  ProductServer server("shop", kClients);
  auto& sqlite = dynamic_cast<SqliteConnection&>(server.conn());
  ReferenceData ref = SeedReferenceData(sqlite, ReferenceDataSize{40, 2});
  GenerateOptions options;
  options.orders = 400;
  // Half the orders awaiting review, so that reviews, locks, merges and splits find work.
  options.mix = StateMix::kBusy;
  GenerateOrders(sqlite, ref, options);
  std::vector<int> waiting;
  for (RecordsetPtr rs = sqlite.Execute("select FID from IC_Web2ERPOrders where FCheckStatus = 0");
       !rs->Eof(); rs->MoveNext())
    waiting.push_back(CLng(rs->Value(0)));
  ASSERT_GT(waiting.size(), 50u);
  std::map<int, std::string> codes_before = Codes(sqlite);
  Totals totals_before = LineTotals(sqlite);

  std::mutex mu;
  std::map<std::string, int> calls, refusals;
  std::vector<std::string> undesigned;
  auto deadline = std::chrono::steady_clock::now() + kDuration;
  auto client = [&](int id) {
    std::mt19937 rng(id);
    auto fid = [&] { return std::to_string(waiting[rng() % waiting.size()]); };
    httplib::Client http("127.0.0.1", server.port());
    http.set_bearer_token_auth("t");
    http.set_read_timeout(60);
    while (std::chrono::steady_clock::now() < deadline) {
      std::string cls = "AmbitOrderUpdate", method;
      json args;
      switch (rng() % 10) {
        case 0:
          cls = "AmbitOrderInfo", method = "GetWaitVerifyData";
          args = {{"dctPara", {{"sDSN", "shop"}, {"PageSize", 50}}}};
          break;
        case 1:
          method = "SaveOrder";
          args = {{"sDsn", "shop"},
                  {"dctDataCache", {{fid(), {{"FBuyerName", "client" + std::to_string(id)}}}}}};
          break;
        case 2:
        case 3:
          method = "SetWebOrderStatus";
          args = {{"dctPara", {{"sDSN", "shop"}, {"FID", fid() + "," + fid()},
                               {"FOrderStatus", rng() % 3 ? 2 : 1}}}};
          break;
        case 4:
          method = "LockWebOrder";
          args = {{"dctPara", {{"sDSN", "shop"}, {"FID", fid()}, {"IsLock", rng() % 2},
                               {"LockReason", "busy floor"}}}};
          break;
        case 5:
          method = "MergeOrders";
          args = {{"sDsn", "shop"}, {"vctOrderInfo", {fid() + "," + fid()}}, {"sFidForGift", ""}};
          break;
        case 6:
          method = "SplitOrders";
          args = {{"sDsn", "shop"}, {"vctOrderInfo", {std::stoi(fid())}}, {"dctPara", json::object()}};
          break;
        case 7: {
          method = "AddRefundServices";
          args = {{"sDsn", "shop"}, {"vctData", json::array()}, {"lOpType", 1}, {"lEmpID", 3}};
          args["vctData"].push_back({{"FEntryID", std::to_string(1 + rng() % 1000)},
                                     {"FForceComfirm", 1}, {"FIsReturn", 0}, {"FNum", 1}});
          break;
        }
        case 8:
          method = "UpdateServiceStatus";
          args = {{"sDsn", "shop"}, {"sEntryID", std::to_string(1 + rng() % 1000)},
                  {"bIsAgree", true}, {"lCurStatus", 38430}, {"sRemark", "ok"},
                  {"dRefundAmount", 0}, {"lManageType", 1}, {"lRefundFID", 0}, {"dQty", 1},
                  {"lEmpID", 3}};
          break;
        default:
          cls = "AmbitOrderInfo", method = "GetAllData";
          args = {{"dctPara", {{"sDSN", "shop"}, {"PageSize", 20}}}};
          break;
      }
      httplib::Result r =
          http.Post(("/api/" + cls + "/" + method).c_str(), args.dump(), "application/json");
      std::lock_guard lock(mu);
      ++calls[method];
      if (!r) {
        undesigned.push_back(method + ": no answer");
        continue;
      }
      if (r->status == 200) continue;
      json body = json::parse(r->body, nullptr, false);
      std::string description = body.is_object() && body.contains("error")
                                    ? body["error"].value("description", "")
                                    : r->body;
      if (r->status != 422 || Undesigned(description))
        undesigned.push_back(method + " " + std::to_string(r->status) + ": " + description);
      else
        ++refusals[method];
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kClients; ++i) threads.emplace_back(client, i);
  for (std::thread& t : threads) t.join();

  int total = 0;
  for (const auto& [method, n] : calls) {
    total += n;
    std::cout << method << ": " << n << " calls, " << refusals[method] << " refused\n";
  }
  std::cout << total << " calls from " << kClients << " clients\n";
  EXPECT_GT(total, kClients * 4);
  for (const std::string& e : undesigned) ADD_FAILURE() << e;

  // A code handed out during the run belongs to one order only.
  std::map<int, std::string> codes_after = Codes(sqlite);
  std::map<std::string, int> holders;
  for (const auto& [fid, code] : codes_after) ++holders[code];
  for (const auto& [fid, code] : codes_after) {
    auto before = codes_before.find(fid);
    if (before != codes_before.end() && before->second == code) continue;
    if (code.empty() || code == "0") continue;
    EXPECT_EQ(holders[code], 1) << "code " << code << " of order " << fid;
  }
  EXPECT_EQ(Scalar(sqlite, "select count(*) from (select FOrderID from IC_Web2ERPOrders "
                           "group by FOrderID having count(*) > 1) d"),
            "0");
  EXPECT_EQ(Scalar(sqlite, "select count(*) from IC_Web2ERPOrdersEntry e where not exists "
                           "(select 1 from IC_Web2ERPOrders o where o.FID = e.FID)"),
            "0");
  // Merges and splits move lines and quantities between orders; none is made or lost.
  Totals totals_after = LineTotals(sqlite);
  EXPECT_EQ(totals_after.quantity, totals_before.quantity);
  EXPECT_EQ(totals_after.amount, totals_before.amount);
}

}  // namespace
}  // namespace ambit::testing
