// The HTTP/JSON front end: POST /api/{Class}/{Method} runs a method through the dispatcher (a
// bearer token required); GET /api lists the catalogue, GET /health reports the accounts and
// GET / serves the browser workbench (static_files.h), all without credentials. Errors always come back as {"error": {"number", "source",
// "description"}}:
//   400 arguments or body that do not fit, 401 no valid bearer token, 404 unknown class, method
//   or path, 413 body over the limit, 422 a ComError the method raised, 500 a bug.
#ifndef AMBIT_SERVER_API_SERVER_H_
#define AMBIT_SERVER_API_SERVER_H_

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/dispatcher.h"
#include "server/token_store.h"

namespace httplib {
class Server;
}

namespace ambit {

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8080;  // 0: the system picks a free port
  size_t max_body_bytes = 1 << 20;
  size_t workers = 0;  // 0: DefaultWorkerCount()
  // Receives one line per request; none when empty.
  std::function<void(const std::string& line)> access_log;
  // What /health reports beside the accounts (the accounts' schema versions, say).
  std::function<nlohmann::ordered_json()> health_details;
};

// A keep-alive client holds its worker between requests, so the workers are how many clients
// are served at once: a client beyond them waits for a whole connection of another to end.
// Idle workers cost little; the account connections they share cost memory and are fewer
// (DefaultConnectionCount), the calls beyond those waiting their turn in order.
size_t DefaultWorkerCount();
// Connections per account a server keeps: four per core, at least eight.
size_t DefaultConnectionCount();

// "host:port" or ":port" or "port"; false when it is not one of those.
bool ParseListenAddress(const std::string& text, std::string* host, int* port);

class ApiServer {
 public:
  ApiServer(Dispatcher& dispatcher, TokenStore tokens, ServerOptions options);
  ~ApiServer();
  ApiServer(const ApiServer&) = delete;
  ApiServer& operator=(const ApiServer&) = delete;

  // Binds the listening socket and answers the port; a ComError when it cannot.
  int Bind();
  // Serves until Stop(); returns once the requests in progress have been answered.
  void Run();
  // From any thread; safe before, during and after Run.
  void Stop();
  // Replaces the tokens; requests already past authentication keep their user.
  void SetTokens(TokenStore tokens);

  int port() const { return port_; }
  size_t workers() const { return workers_; }

 private:
  void Route();
  UserLoginPtr FindUser(std::string_view token) const;

  Dispatcher& dispatcher_;
  mutable std::mutex tokens_mu_;
  std::shared_ptr<const TokenStore> tokens_;
  ServerOptions options_;
  size_t workers_;
  int port_ = 0;
  std::atomic<int> listen_socket_ = -1;  // as httplib made it
  std::unique_ptr<httplib::Server> http_;
  std::atomic<bool> stop_requested_ = false;
  std::atomic<bool> running_ = false;
};

}  // namespace ambit

#endif  // AMBIT_SERVER_API_SERVER_H_
