#include "server/token_store.h"

#include <fstream>
#include <limits>

#include "base/com_error.h"
#include "host/call_context.h"

namespace ambit {
namespace {

constexpr char kSource[] = "ambit-order.server";

[[noreturn]] void Refuse(const std::string& what) {
  throw ComError(err::kInvalidArgument, kSource, what);
}

}  // namespace

TokenStore TokenStore::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Refuse("Cannot read the token file " + path + ".");
  nlohmann::json config = nlohmann::json::parse(in, nullptr, false);
  if (config.is_discarded()) Refuse("The token file " + path + " is not valid JSON.");
  try {
    return FromJson(config);
  } catch (const ComError& e) {
    Refuse(path + ": " + e.description());
  }
}

TokenStore TokenStore::FromJson(const nlohmann::json& config) {
  if (!config.is_object()) Refuse("Tokens must be a JSON object of token -> user.");
  TokenStore store;
  for (auto it = config.begin(); it != config.end(); ++it) {
    const nlohmann::json& u = it.value();
    if (it.key().empty()) Refuse("An empty token would let anyone in.");
    if (!u.is_object() || !u.contains("userId") || !u["userId"].is_number_integer())
      Refuse("Token '" + it.key() + "' needs an integer userId.");
    int64_t id = u["userId"].get<int64_t>();
    if (id < std::numeric_limits<int16_t>::min() || id > std::numeric_limits<int16_t>::max())
      Refuse("Token '" + it.key() + "': userId " + std::to_string(id) + " is out of range.");
    for (const char* key : {"languageCode", "loginToken"})
      if (u.contains(key) && !u[key].is_string())
        Refuse("Token '" + it.key() + "': " + key + " must be text.");
    std::string language = u.value("languageCode", std::string("CHS"));
    std::string login = u.value("loginToken", it.key());
    store.Add(it.key(), std::make_shared<HostUserLogin>(login, static_cast<int16_t>(id), language));
  }
  return store;
}

void TokenStore::Add(std::string token, UserLoginPtr user) {
  users_[std::move(token)] = std::move(user);
}

UserLoginPtr TokenStore::Find(std::string_view token) const {
  if (token.empty()) return nullptr;
  auto it = users_.find(token);
  return it == users_.end() ? nullptr : it->second;
}

}  // namespace ambit
