// Bearer tokens of the HTTP server and the users they stand for. The file is a JSON object
// mapping each token's digest ("sha256:<hex>", see TokenDigest) to
// {"userId": 16394, "languageCode": "CHS", "loginToken": "...", "created": "...", "note": "..."};
// a key without the "sha256:" prefix is a token written by hand and is accepted as it is. The
// login token (what the security service is asked about) defaults to the bearer token itself.
// `ambit-order token add|list|revoke` edits the file; the server reloads it on SIGHUP and when
// it changes.
#ifndef AMBIT_SERVER_TOKEN_STORE_H_
#define AMBIT_SERVER_TOKEN_STORE_H_

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "frame/host.h"

namespace ambit {

// "sha256:<64 hex digits>" of a bearer token: the only form a token is written to disk in.
std::string TokenDigest(std::string_view token);

class TokenStore {
 public:
  // A ComError naming the file or the entry that is wrong.
  static TokenStore Load(const std::string& path);
  static TokenStore FromJson(const nlohmann::ordered_json& config);

  // The user of a token; null for an unknown or empty token.
  UserLoginPtr Find(std::string_view token) const;
  size_t size() const { return users_.size(); }

 private:
  struct Entry {
    int16_t user_id = 0;
    std::string language;
    std::string login_token;  // empty: the bearer token itself
  };
  std::map<std::string, Entry, std::less<>> users_;  // by digest
};

// What `token list` shows of an entry; never the token.
struct TokenInfo {
  std::string id;  // the first 12 hex digits of the digest
  int user_id = 0;
  std::string language;
  std::string created;
  std::string note;
};

// Edits of the token file. Each rewrites the file whole through a temporary file and a rename,
// so a server reading it never sees half a file, and keeps it readable by its owner only.
// A missing file counts as empty for Add; the others raise a ComError for it.
std::string AddToken(const std::string& path, int user_id, const std::string& language,
                     const std::string& note);
std::vector<TokenInfo> ListTokens(const std::string& path);
// Removes the entry whose id (at least 8 leading hex digits of the digest, matching one entry
// only) or whose token is `which`; the number of entries removed.
int RevokeToken(const std::string& path, const std::string& which);
// Adds `token` as given (the demo token of a first start).
void AddKnownToken(const std::string& path, const std::string& token, int user_id,
                   const std::string& language, const std::string& note);

}  // namespace ambit

#endif  // AMBIT_SERVER_TOKEN_STORE_H_
