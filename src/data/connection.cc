#include "data/connection.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "base/com_error.h"
#include "base/text.h"

namespace ambit {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

struct BackendRegistry {
  std::mutex mu;
  std::map<std::string, ConnectionFactory> factories;  // keys lower-cased
};

BackendRegistry& Backends() {
  static BackendRegistry registry;
  return registry;
}

// Walks "Key=Value;..." pairs, handing each raw key, its unquoted value and where the value
// stands in the text (quotes included) to `visit`.
template <class Visit>
void ForEachPair(std::string_view text, Visit visit) {
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    std::string_view key = Trim(text.substr(i, eq - i));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    size_t value_end;
    char open = v < text.size() ? text[v] : '\0';
    if (open == '"' || open == '{' || open == '\'') {
      char close = open == '{' ? '}' : open;
      size_t end = text.find(close, v + 1);
      if (end == std::string_view::npos) end = text.size();
      value = text.substr(v + 1, end - v - 1);
      value_end = std::min(end + 1, text.size());
      i = text.find(';', end);
    } else {
      size_t end = text.find(';', v);
      value_end = end == std::string_view::npos ? text.size() : end;
      value = Trim(text.substr(v, value_end - v));
      i = end;
    }
    visit(key, value, v, value_end);
    if (i == std::string_view::npos) break;
    ++i;
  }
}

bool IsSecretKey(std::string_view key) {
  std::string k = ToLowerAscii(key);
  return k == "pwd" || k == "password";
}

}  // namespace

ConnectionString::ConnectionString(std::string_view text) : text_(text) {
  ForEachPair(text, [this](std::string_view key, std::string value, size_t, size_t) {
    if (!key.empty()) values_[ToLowerAscii(key)] = std::move(value);
  });
}

std::string RedactConnectionString(std::string_view text) {
  std::string out;
  size_t copied = 0;
  ForEachPair(text, [&](std::string_view key, const std::string& value, size_t begin, size_t end) {
    bool wrapped = EqualsNoCase(key, "ConnectString");
    if (!wrapped && !IsSecretKey(key)) return;
    out.append(text, copied, begin - copied);
    out += wrapped ? "{" + RedactConnectionString(value) + "}" : "***";
    copied = end;
  });
  out.append(text.substr(std::min(copied, text.size())));
  return out;
}

std::string ConnectionString::Get(std::string_view key) const {
  auto it = values_.find(ToLowerAscii(key));
  return it == values_.end() ? std::string() : it->second;
}

bool ConnectionString::Has(std::string_view key) const {
  return values_.count(ToLowerAscii(key)) > 0;
}

void RegisterBackend(std::string provider, ConnectionFactory factory) {
  BackendRegistry& r = Backends();
  std::lock_guard lock(r.mu);
  r.factories[ToLowerAscii(provider)] = std::move(factory);
}

std::string UnwrapConnectString(std::string_view connection_string) {
  ConnectionString cs(connection_string);
  // The host's own form wraps the account's string: "ConnectString={...}".
  if (cs.Has("ConnectString")) return UnwrapConnectString(cs.Get("ConnectString"));
  return std::string(connection_string);
}

std::vector<std::string> ConnectionString::Keys() const {
  std::vector<std::string> keys;
  for (const auto& [key, value] : values_) keys.push_back(key);
  return keys;
}

std::string ProviderOf(const ConnectionString& cs) {
  if (cs.Has("Provider")) return ToLowerAscii(cs.Get("Provider"));
  if (cs.Has("Driver") || cs.Has("DSN")) return "odbc";
  if (cs.Has("Data Source")) return "sqlite";
  return "";
}

ConnectionPtr OpenConnection(std::string_view connection_string) {
  ConnectionString cs(UnwrapConnectString(connection_string));
  std::string provider = ProviderOf(cs);
  if (provider.empty()) {
    // Guessing here once turned a SQL Server connection string into a new, empty account file.
    std::string keys;
    for (const std::string& key : cs.Keys()) keys += (keys.empty() ? "" : ", ") + key;
    throw ComError(err::kInvalidArgument, kDataErrorSource,
                   "The connection string '" + RedactConnectionString(cs.text()) +
                       "' names no database backend: it has no Provider, Driver, DSN or Data "
                       "Source" +
                       (keys.empty() ? std::string() : " (keys not understood: " + keys + ")") +
                       ". Use \"Provider=SQLite;Data Source=<file>\" for an embedded account, "
                       "\"Driver=FreeTDS;Server=<host>;...\" or \"DSN=<name>\" for a server "
                       "through ODBC.");
  }
  ConnectionFactory factory;
  {
    BackendRegistry& r = Backends();
    std::lock_guard lock(r.mu);
    auto it = r.factories.find(provider);
    if (it == r.factories.end())
      throw ComError(err::kInvalidArgument, kDataErrorSource,
                     "No database backend for provider '" + provider +
                         "' in this build (connection string '" +
                         RedactConnectionString(connection_string) + "').");
    factory = it->second;
  }
  return factory(cs);
}

}  // namespace ambit
