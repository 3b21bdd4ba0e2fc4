// Outside services of the ERP (the promotion service, the refund service) reached over HTTP:
// the interop assemblies of the original platform do not exist here, so their calls are posted
// as JSON to whatever service the server's configuration names.
#ifndef AMBIT_MAINTAIN_JSON_SERVICE_H_
#define AMBIT_MAINTAIN_JSON_SERVICE_H_

#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/variant.h"

namespace ambit {

// One service at a plain http:// URL ("http://host:port/path"). Only plain http: the services
// sit beside the server, inside the shop's own network.
class JsonServiceClient {
 public:
  // `source` is the error source of every failure (the service's program identifier);
  // `service_name` names the service in messages ("promotion service"). A URL that is not
  // http:// or names no host is a ComError now, not on the first call.
  JsonServiceClient(const std::string& url, std::string source, std::string service_name);

  // Posts `request` and answers the JSON object the service sends back ({} for an empty body).
  // An answer {"error": {"number", "description", "source"}} is raised as that error, so a
  // service reports its own failures the way an interop component raises them; a transport
  // failure or any other answer than 2xx with a JSON object is a ComError of this client.
  nlohmann::ordered_json Post(const nlohmann::ordered_json& request) const;

  std::string Url() const { return "http://" + host_ + ":" + port_ + path_; }

 private:
  std::string host_;
  std::string port_;
  std::string path_;
  std::string source_;
  std::string service_name_;
};

// Makes `prog_id` create `make(client)` for a client of `url` (the server calls this with the
// URL of its configuration); an empty URL withdraws it, so creating the service fails with 429.
// A bad URL is a ComError now, not on the first call.
void ConfigureJsonService(const std::string& url, const std::string& prog_id,
                          const std::string& service_name,
                          std::function<ObjectPtr(const JsonServiceClient&)> make);

}  // namespace ambit

#endif  // AMBIT_MAINTAIN_JSON_SERVICE_H_
