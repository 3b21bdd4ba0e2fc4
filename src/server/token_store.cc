#include "server/token_store.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>

#include "base/com_error.h"
#include "host/call_context.h"
#include "server/sha256.h"

namespace ambit {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

constexpr char kSource[] = "ambit-order.server";
constexpr std::string_view kDigestPrefix = "sha256:";

[[noreturn]] void Refuse(const std::string& what) {
  throw ComError(err::kInvalidArgument, kSource, what);
}

bool IsDigest(std::string_view key) {
  return key.size() == kDigestPrefix.size() + 64 && key.substr(0, kDigestPrefix.size()) == kDigestPrefix &&
         key.find_first_not_of("0123456789abcdef", kDigestPrefix.size()) == std::string::npos;
}

// Entries are shown by their digest's start: enough to tell them apart, useless to log in.
std::string IdOf(std::string_view key) {
  std::string digest = IsDigest(key) ? std::string(key) : TokenDigest(key);
  return digest.substr(kDigestPrefix.size(), 12);
}

json ReadFile(const std::string& path, bool missing_is_empty) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (missing_is_empty && !fs::exists(path)) return json::object();
    Refuse("Cannot read the token file " + path + ".");
  }
  json config = json::parse(in, nullptr, false);
  if (config.is_discarded()) Refuse("The token file " + path + " is not valid JSON.");
  if (!config.is_object()) Refuse(path + ": tokens must be a JSON object of token -> user.");
  return config;
}

void WriteFile(const std::string& path, const json& config) {
  fs::path target(path);
  if (target.has_parent_path()) fs::create_directories(target.parent_path());
  std::string temp = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) Refuse("Cannot write the token file " + path + ".");
    fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write);
    out << config.dump(2) << "\n";
    if (!out.flush()) Refuse("Cannot write the token file " + path + ".");
  }
  fs::rename(temp, target);
}

std::string UtcNow() {
  std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

std::string RandomToken() {
  unsigned char bytes[24];
  std::FILE* random = std::fopen("/dev/urandom", "rb");
  bool ok = random && std::fread(bytes, 1, sizeof bytes, random) == sizeof bytes;
  if (random) std::fclose(random);
  if (!ok) Refuse("Cannot read /dev/urandom for a new token.");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token = "ao_";
  for (unsigned char b : bytes) token += {kHex[b >> 4], kHex[b & 15]};
  return token;
}

void CheckUser(int user_id, const std::string& language) {
  if (user_id < std::numeric_limits<int16_t>::min() || user_id > std::numeric_limits<int16_t>::max())
    Refuse("The user id " + std::to_string(user_id) + " is out of range.");
  if (language.empty()) Refuse("The language code is empty.");
}

}  // namespace

std::string TokenDigest(std::string_view token) {
  return std::string(kDigestPrefix) + Sha256Hex(token);
}

TokenStore TokenStore::Load(const std::string& path) {
  json config = ReadFile(path, false);
  try {
    return FromJson(config);
  } catch (const ComError& e) {
    Refuse(path + ": " + e.description());
  }
}

TokenStore TokenStore::FromJson(const json& config) {
  if (!config.is_object()) Refuse("Tokens must be a JSON object of token -> user.");
  TokenStore store;
  for (auto it = config.begin(); it != config.end(); ++it) {
    const json& u = it.value();
    const std::string& key = it.key();
    std::string shown = IsDigest(key) ? IdOf(key) : "'" + key + "'";
    if (key.empty()) Refuse("An empty token would let anyone in.");
    if (!u.is_object() || !u.contains("userId") || !u["userId"].is_number_integer())
      Refuse("Token " + shown + " needs an integer userId.");
    int64_t id = u["userId"].get<int64_t>();
    if (id < std::numeric_limits<int16_t>::min() || id > std::numeric_limits<int16_t>::max())
      Refuse("Token " + shown + ": userId " + std::to_string(id) + " is out of range.");
    for (const char* field : {"languageCode", "loginToken"})
      if (u.contains(field) && !u[field].is_string())
        Refuse("Token " + shown + ": " + field + " must be text.");
    Entry entry{static_cast<int16_t>(id), u.value("languageCode", std::string("CHS")),
                u.value("loginToken", std::string())};
    store.users_[IsDigest(key) ? key : TokenDigest(key)] = std::move(entry);
  }
  return store;
}

UserLoginPtr TokenStore::Find(std::string_view token) const {
  if (token.empty()) return nullptr;
  auto it = users_.find(TokenDigest(token));
  if (it == users_.end()) return nullptr;
  const Entry& e = it->second;
  return std::make_shared<HostUserLogin>(e.login_token.empty() ? std::string(token) : e.login_token,
                                         e.user_id, e.language);
}

void AddKnownToken(const std::string& path, const std::string& token, int user_id,
                   const std::string& language, const std::string& note) {
  CheckUser(user_id, language);
  json config = ReadFile(path, true);
  json entry = {{"userId", user_id}, {"languageCode", language}, {"created", UtcNow()}};
  if (!note.empty()) entry["note"] = note;
  config[TokenDigest(token)] = std::move(entry);
  WriteFile(path, config);
}

std::string AddToken(const std::string& path, int user_id, const std::string& language,
                     const std::string& note) {
  std::string token = RandomToken();
  AddKnownToken(path, token, user_id, language, note);
  return token;
}

std::vector<TokenInfo> ListTokens(const std::string& path) {
  std::vector<TokenInfo> list;
  json config = ReadFile(path, false);
  for (const auto& [key, u] : config.items()) {
    TokenInfo info;
    info.id = IdOf(key);
    if (u.is_object()) {
      info.user_id = u.value("userId", 0);
      info.language = u.value("languageCode", std::string("CHS"));
      info.created = u.value("created", std::string());
      info.note = u.value("note", std::string());
    }
    list.push_back(std::move(info));
  }
  return list;
}

int RevokeToken(const std::string& path, const std::string& which) {
  json config = ReadFile(path, false);
  std::string digest = TokenDigest(which);
  std::vector<std::string> hits;
  for (const auto& [key, u] : config.items()) {
    std::string key_digest = IsDigest(key) ? key : TokenDigest(key);
    bool by_id = which.size() >= 8 &&
                 key_digest.compare(kDigestPrefix.size(), which.size(), which) == 0;
    if (key_digest == digest || by_id) hits.push_back(key);
  }
  if (hits.size() > 1)
    Refuse("'" + which + "' matches " + std::to_string(hits.size()) +
           " tokens; give more digits of the id.");
  for (const std::string& key : hits) config.erase(key);
  if (!hits.empty()) WriteFile(path, config);
  return static_cast<int>(hits.size());
}

}  // namespace ambit
