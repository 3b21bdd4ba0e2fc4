// Bearer tokens of the HTTP server and the users they stand for. The file is a JSON object
// mapping each token to {"userId": 16394, "languageCode": "CHS", "loginToken": "..."}; the
// login token (what the security service is asked about) defaults to the bearer token itself.
#ifndef AMBIT_SERVER_TOKEN_STORE_H_
#define AMBIT_SERVER_TOKEN_STORE_H_

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "frame/host.h"

namespace ambit {

class TokenStore {
 public:
  // A ComError naming the file or the entry that is wrong.
  static TokenStore Load(const std::string& path);
  static TokenStore FromJson(const nlohmann::json& config);

  void Add(std::string token, UserLoginPtr user);
  // The user of a token; null for an unknown or empty token.
  UserLoginPtr Find(std::string_view token) const;
  size_t size() const { return users_.size(); }

 private:
  std::map<std::string, UserLoginPtr, std::less<>> users_;
};

}  // namespace ambit

#endif  // AMBIT_SERVER_TOKEN_STORE_H_
