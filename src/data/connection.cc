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

}  // namespace

ConnectionString::ConnectionString(std::string_view text) : text_(text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t eq = text.find('=', i);
    if (eq == std::string_view::npos) break;
    std::string key = ToLowerAscii(Trim(text.substr(i, eq - i)));
    size_t v = eq + 1;
    while (v < text.size() && text[v] == ' ') ++v;
    std::string value;
    char open = v < text.size() ? text[v] : '\0';
    if (open == '"' || open == '{' || open == '\'') {
      char close = open == '{' ? '}' : open;
      size_t end = text.find(close, v + 1);
      if (end == std::string_view::npos) end = text.size();
      value = text.substr(v + 1, end - v - 1);
      i = text.find(';', end);
    } else {
      size_t end = text.find(';', v);
      value = Trim(text.substr(v, end == std::string_view::npos ? text.size() - v : end - v));
      i = end;
    }
    if (!key.empty()) values_[key] = value;
    if (i == std::string_view::npos) break;
    ++i;
  }
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

ConnectionPtr OpenConnection(std::string_view connection_string) {
  ConnectionString cs(UnwrapConnectString(connection_string));
  std::string provider = ToLowerAscii(cs.Get("Provider"));
  if (provider.empty()) provider = "sqlite";
  ConnectionFactory factory;
  {
    BackendRegistry& r = Backends();
    std::lock_guard lock(r.mu);
    auto it = r.factories.find(provider);
    if (it == r.factories.end())
      throw ComError(err::kInvalidArgument, kDataErrorSource,
                     "No database backend for provider '" + provider +
                         "' (connection string '" + std::string(connection_string) + "').");
    factory = it->second;
  }
  return factory(cs);
}

}  // namespace ambit
