#include "maintain/json_service.h"

#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/com_error.h"
#include "frame/host.h"
#include "frame/variant_json.h"

namespace ambit {
namespace {

constexpr int kTimeoutSeconds = 30;

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Raises the error a service put in its answer, when it put one there; a service that names
// no source is reported under the client's.
void RaiseServiceError(const nlohmann::ordered_json& answer, const std::string& default_source) {
  if (!answer.is_object() || !answer.contains("error") || !answer["error"].is_object()) return;
  const nlohmann::ordered_json& e = answer["error"];
  if (!e.contains("number") || !e["number"].is_number_integer()) return;
  auto text = [&](const char* key) {
    return e.contains(key) && e[key].is_string() ? e[key].get<std::string>() : std::string();
  };
  std::string source = text("source");
  throw ComError(e["number"].get<int32_t>(), source.empty() ? default_source : source,
                 text("description"));
}

}  // namespace

JsonServiceClient::JsonServiceClient(const std::string& url, std::string source,
                                     std::string service_name)
    : source_(std::move(source)), service_name_(std::move(service_name)) {
  constexpr std::string_view kScheme = "http://";
  if (url.compare(0, kScheme.size(), kScheme) != 0)
    throw ComError(err::kInvalidArgument, source_,
                   "The " + service_name_ + " URL '" + url + "' is not an http:// URL.");
  std::string rest = url.substr(kScheme.size());
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  host_ = authority;
  port_ = "80";
  path_ = slash == std::string::npos ? "/" : rest.substr(slash);
  if (size_t colon = authority.rfind(':'); colon != std::string::npos) {
    host_ = authority.substr(0, colon);
    port_ = authority.substr(colon + 1);
  }
  if (host_.empty() || port_.empty())
    throw ComError(err::kInvalidArgument, source_,
                   "The " + service_name_ + " URL '" + url + "' names no host.");
}

// One HTTP/1.0 request per connection: the answer ends where the stream ends and is never
// chunked.
nlohmann::ordered_json JsonServiceClient::Post(const nlohmann::ordered_json& request) const {
  auto unreachable = [&](const std::string& why) {
    return ComError(err::kUnexpected, source_,
                    "The " + service_name_ + " at " + Url() + " could not be reached: " + why +
                        ".");
  };
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (int rc = getaddrinfo(host_.c_str(), port_.c_str(), &hints, &found); rc != 0)
    throw unreachable(gai_strerror(rc));
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
  int fd = -1;
  for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    timeval timeout{kTimeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      close(fd);
      fd = -1;
    }
  }
  if (fd < 0) throw unreachable(std::strerror(errno));
  Socket sock(fd);
  std::string body = request.dump();
  std::string message = "POST " + path_ + " HTTP/1.0\r\nHost: " + host_ + ":" + port_ +
                        "\r\nContent-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  for (size_t sent = 0; sent < message.size();) {
    ssize_t n = send(sock.fd(), message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw unreachable(std::strerror(errno));
    sent += static_cast<size_t>(n);
  }
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = recv(sock.fd(), buf, sizeof buf, 0)) != 0;) {
    if (n < 0) throw unreachable(std::strerror(errno));
    answer.append(buf, static_cast<size_t>(n));
  }
  // "HTTP/1.1 200 OK\r\n...\r\n\r\nbody"
  size_t space = answer.find(' ');
  size_t head_end = answer.find("\r\n\r\n");
  if (answer.compare(0, 5, "HTTP/") != 0 || space == std::string::npos ||
      head_end == std::string::npos)
    throw unreachable("the answer is not HTTP");
  int status = std::atoi(answer.c_str() + space + 1);
  std::string head = answer.substr(0, head_end);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (head.find("transfer-encoding: chunked") != std::string::npos)
    throw unreachable("chunked answers are not understood");
  std::string reply = answer.substr(head_end + 4);

  // A service's answer is bounded in nesting like a client's request: it becomes Variants too.
  bool too_deep = false;
  Json parsed = reply.empty() ? Json::object() : ParseClientJson(reply, &too_deep);
  RaiseServiceError(parsed, source_);
  if (status < 200 || status >= 300)
    throw ComError(err::kUnexpected, source_,
                   "The " + service_name_ + " answered " + std::to_string(status) + ": " + reply);
  if (parsed.is_discarded() || !parsed.is_object())
    throw ComError(err::kUnexpected, source_,
                   "The " + service_name_ + " answered something that is not a JSON object.");
  return parsed;
}

void ConfigureJsonService(const std::string& url, const std::string& prog_id,
                          const std::string& service_name,
                          std::function<ObjectPtr(const JsonServiceClient&)> make) {
  if (url.empty()) {
    UnregisterHostObject(prog_id);
    return;
  }
  JsonServiceClient client(url, prog_id, service_name);
  RegisterHostObject(prog_id, [client, make = std::move(make)] { return make(client); });
}

}  // namespace ambit
