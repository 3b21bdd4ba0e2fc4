// The promotion service reached over HTTP: the interop assembly of the original platform does
// not exist here, so its calls are forwarded to whatever service the server's configuration
// names.
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/com_error.h"
#include "frame/host.h"
#include "frame/variant_json.h"
#include "maintain/services.h"

namespace ambit {
namespace {

constexpr char kSource[] = "Halvard.Store.InterfaceCom.PromotionSale";
constexpr int kTimeoutSeconds = 30;

struct Endpoint {
  std::string host;
  std::string port;
  std::string path;
  std::string Url() const { return "http://" + host + ":" + port + path; }
};

// Only plain http: the service sits beside the server, inside the shop's own network.
Endpoint SplitUrl(const std::string& url) {
  constexpr std::string_view kScheme = "http://";
  if (url.compare(0, kScheme.size(), kScheme) != 0)
    throw ComError(err::kInvalidArgument, kSource,
                   "The promotion service URL '" + url + "' is not an http:// URL.");
  std::string rest = url.substr(kScheme.size());
  size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  Endpoint e{authority, "80", slash == std::string::npos ? "/" : rest.substr(slash)};
  if (size_t colon = authority.rfind(':'); colon != std::string::npos) {
    e.host = authority.substr(0, colon);
    e.port = authority.substr(colon + 1);
  }
  if (e.host.empty() || e.port.empty())
    throw ComError(err::kInvalidArgument, kSource,
                   "The promotion service URL '" + url + "' names no host.");
  return e;
}

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

[[noreturn]] void Unreachable(const Endpoint& e, const std::string& why) {
  throw ComError(err::kUnexpected, kSource,
                 "The promotion service at " + e.Url() + " could not be reached: " + why + ".");
}

// One HTTP/1.0 request per connection: the answer ends where the stream ends and is never
// chunked.
std::string PostOnce(const Endpoint& e, const std::string& body, int* status) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (int rc = getaddrinfo(e.host.c_str(), e.port.c_str(), &hints, &found); rc != 0)
    Unreachable(e, gai_strerror(rc));
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
  if (fd < 0) Unreachable(e, std::strerror(errno));
  Socket sock(fd);
  std::string request = "POST " + e.path + " HTTP/1.0\r\nHost: " + e.host + ":" + e.port +
                        "\r\nContent-Type: application/json\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  for (size_t sent = 0; sent < request.size();) {
    ssize_t n = send(sock.fd(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) Unreachable(e, std::strerror(errno));
    sent += static_cast<size_t>(n);
  }
  std::string answer;
  char buf[4096];
  for (ssize_t n; (n = recv(sock.fd(), buf, sizeof buf, 0)) != 0;) {
    if (n < 0) Unreachable(e, std::strerror(errno));
    answer.append(buf, static_cast<size_t>(n));
  }
  // "HTTP/1.1 200 OK\r\n...\r\n\r\nbody"
  size_t space = answer.find(' ');
  size_t head_end = answer.find("\r\n\r\n");
  if (answer.compare(0, 5, "HTTP/") != 0 || space == std::string::npos ||
      head_end == std::string::npos)
    Unreachable(e, "the answer is not HTTP");
  *status = std::atoi(answer.c_str() + space + 1);
  std::string head = answer.substr(0, head_end);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (head.find("transfer-encoding: chunked") != std::string::npos)
    Unreachable(e, "chunked answers are not understood");
  return answer.substr(head_end + 4);
}

class HttpPromotionSale : public PromotionSale {
 public:
  explicit HttpPromotionSale(Endpoint endpoint) : endpoint_(std::move(endpoint)) {}

  void CallAddGiftForWebShop(std::string& PropsString, std::string& sFID,
                             std::string& sOrderIDs) override {
    nlohmann::json answer = Post({{"operation", "CallAddGiftForWebShop"},
                                  {"PropsString", PropsString},
                                  {"sFID", sFID},
                                  {"sOrderIDs", sOrderIDs}});
    if (answer.contains("sOrderIDs") && answer["sOrderIDs"].is_string())
      sOrderIDs = answer["sOrderIDs"].get<std::string>();
  }

  Variant CallUnCheckService(std::string& PropsString, std::string& sFID) override {
    nlohmann::json answer =
        Post({{"operation", "CallUnCheckService"}, {"PropsString", PropsString}, {"sFID", sFID}});
    if (!answer.contains("result")) return Variant();
    return JsonToVariant(answer["result"]);
  }

 private:
  nlohmann::json Post(const nlohmann::json& request) {
    int status = 0;
    std::string body = PostOnce(endpoint_, request.dump(), &status);
    if (status < 200 || status >= 300)
      throw ComError(err::kUnexpected, kSource,
                     "The promotion service answered " + std::to_string(status) + ": " + body);
    if (body.empty()) return nlohmann::json::object();
    nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (answer.is_discarded() || !answer.is_object())
      throw ComError(err::kUnexpected, kSource,
                     "The promotion service answered something that is not a JSON object.");
    return answer;
  }

  Endpoint endpoint_;
};

}  // namespace

std::shared_ptr<PromotionSale> MakeHttpPromotionSale(const std::string& url) {
  return std::make_shared<HttpPromotionSale>(SplitUrl(url));
}

void ConfigurePromotionService(const std::string& url) {
  if (url.empty()) {
    UnregisterHostObject(kProgIdPromotionSale);
    return;
  }
  Endpoint endpoint = SplitUrl(url);  // a bad URL fails now, not on the first order
  RegisterHostObject(kProgIdPromotionSale,
                     [endpoint] { return std::make_shared<HttpPromotionSale>(endpoint); });
}

}  // namespace ambit
