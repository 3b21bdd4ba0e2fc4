#include "server/api_server.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/com_error.h"

namespace ambit {
namespace {

constexpr char kServerSource[] = "ambit-order.server";
constexpr char kJson[] = "application/json";

using Clock = std::chrono::steady_clock;

// What the access log needs of the request a worker is answering; a request stays on one
// worker from routing to logging.
struct RequestTrace {
  Clock::time_point start;
  std::string user = "-";
  std::string outcome;
};
thread_local RequestTrace trace;

nlohmann::json ErrorBody(int32_t number, const std::string& source,
                         const std::string& description) {
  return {{"error", {{"number", number}, {"source", source}, {"description", description}}}};
}

void Reply(httplib::Response& res, int status, const nlohmann::json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), kJson);
}

void ReplyError(httplib::Response& res, int status, const ComError& e) {
  trace.outcome = "error " + std::to_string(e.number());
  Reply(res, status, ErrorBody(e.number(), e.source(), e.description()));
}

std::string UtcNow() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[40];
  size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms.count()));
  return text;
}

// The token of "Authorization: Bearer <token>"; empty when there is none.
std::string BearerToken(const httplib::Request& req) {
  std::string header = req.get_header_value("Authorization");
  constexpr std::string_view kScheme = "bearer ";
  if (header.size() <= kScheme.size()) return {};
  for (size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(header[i])) != kScheme[i]) return {};
  std::string token = header.substr(kScheme.size());
  while (!token.empty() && token.front() == ' ') token.erase(token.begin());
  while (!token.empty() && (token.back() == ' ' || token.back() == '\r')) token.pop_back();
  return token;
}

}  // namespace

size_t DefaultWorkerCount() {
  size_t cores = std::max(1u, std::thread::hardware_concurrency());
  return std::max<size_t>(8, cores * 4);
}

bool ParseListenAddress(const std::string& text, std::string* host, int* port) {
  size_t colon = text.rfind(':');
  std::string h = colon == std::string::npos ? std::string() : text.substr(0, colon);
  std::string p = colon == std::string::npos ? text : text.substr(colon + 1);
  if (p.empty() || p.size() > 5 || !std::all_of(p.begin(), p.end(), ::isdigit)) return false;
  int value = std::stoi(p);
  if (value > 65535) return false;
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  *host = h.empty() ? "127.0.0.1" : h;
  *port = value;
  return true;
}

ApiServer::ApiServer(Dispatcher& dispatcher, TokenStore tokens, ServerOptions options)
    : dispatcher_(dispatcher),
      tokens_(std::move(tokens)),
      options_(std::move(options)),
      workers_(options_.workers ? options_.workers : DefaultWorkerCount()),
      http_(std::make_unique<httplib::Server>()) {
  size_t workers = workers_;
  http_->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
  http_->set_payload_max_length(options_.max_body_bytes);
  // Headers and body leave in separate writes; without this, Nagle's algorithm and the
  // client's delayed ACK add some 40 ms to every answer.
  http_->set_tcp_nodelay(true);
  http_->set_keep_alive_timeout(2);
  http_->set_read_timeout(10);
  Route();
}

ApiServer::~ApiServer() { Stop(); }

void ApiServer::Route() {
  http_->set_pre_routing_handler([](const httplib::Request&, httplib::Response&) {
    trace = RequestTrace{Clock::now(), "-", ""};
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // Finds the user of a request, or answers 401 and returns null.
  auto authenticate = [this](const httplib::Request& req, httplib::Response& res) {
    UserLoginPtr user = tokens_.Find(BearerToken(req));
    if (!user) {
      res.set_header("WWW-Authenticate", "Bearer");
      ReplyError(res, 401,
                 ComError(err::kUnexpected, kServerSource,
                          "A valid bearer token is required (Authorization: Bearer <token>)."));
      return user;
    }
    trace.user = std::to_string(user->UserID());
    return user;
  };

  http_->Post(R"(/api/([^/]+)/([^/]+))", [this, authenticate](const httplib::Request& req,
                                                              httplib::Response& res) {
    UserLoginPtr user = authenticate(req, res);
    if (!user) return;
    nlohmann::json args = nlohmann::json::object();
    if (req.body.find_first_not_of(" \t\r\n") != std::string::npos) {
      args = nlohmann::json::parse(req.body, nullptr, false);
      if (args.is_discarded())
        return ReplyError(
            res, 400,
            ComError(err::kInvalidArgument, kServerSource, "The request body is not valid JSON."));
    }
    try {
      nlohmann::json answer = dispatcher_.Call(
          {req.matches[1].str(), req.matches[2].str(), std::move(args), user, req.remote_addr});
      trace.outcome = "ok";
      Reply(res, 200, answer);
    } catch (const NotFoundError& e) {
      ReplyError(res, 404, e);
    } catch (const ArgumentError& e) {
      ReplyError(res, 400, e);
    } catch (const ComError& e) {
      ReplyError(res, 422, e);
    } catch (const std::exception& e) {
      ReplyError(res, 500, ComError(err::kUnexpected, kServerSource, e.what()));
    }
  });

  // The catalogue says only what can be called, so a client may read it before it has a token.
  http_->Get("/api", [this](const httplib::Request&, httplib::Response& res) {
    trace.outcome = "ok";
    Reply(res, 200, dispatcher_.Catalogue());
  });

  http_->Get("/health", [this](const httplib::Request&, httplib::Response& res) {
    trace.outcome = "ok";
    Reply(res, 200, {{"status", "ok"}, {"accounts", dispatcher_.accounts().account_names()}});
  });

  // Whatever httplib answered on its own (no route, body too large, bad request line) still
  // gets the JSON error shape clients parse.
  http_->set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request& req,
                                                                   httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string description;
    switch (res.status) {
      case 404:
        description = "No such resource: " + req.method + " " + req.path + ".";
        break;
      case 413:
        description = "The request body is larger than the server accepts.";
        break;
      default:
        description = "The request could not be served (HTTP " + std::to_string(res.status) + ").";
    }
    ReplyError(res, res.status, ComError(err::kInvalidArgument, kServerSource, description));
    return httplib::Server::HandlerResponse::Handled;
  }));

  http_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "Unknown error.";
        try {
          std::rethrow_exception(ep);
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        ReplyError(res, 500, ComError(err::kUnexpected, kServerSource, what));
      });

  if (options_.access_log) {
    http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
      double ms = std::chrono::duration<double, std::milli>(Clock::now() - trace.start).count();
      char duration[32];
      std::snprintf(duration, sizeof duration, "%.1fms", ms);
      options_.access_log(UtcNow() + " " + req.remote_addr + " " + req.method + " " + req.path +
                          " user=" + trace.user + " status=" + std::to_string(res.status) + " " +
                          duration + " " + (trace.outcome.empty() ? "-" : trace.outcome));
      // A request refused before routing (a bad request line) must not inherit this one.
      trace = RequestTrace{Clock::now(), "-", ""};
    });
  }
}

int ApiServer::Bind() {
  bool bound = false;
  if (options_.port == 0) {
    port_ = http_->bind_to_any_port(options_.host);
    bound = port_ > 0;
  } else {
    bound = http_->bind_to_port(options_.host, options_.port);
    port_ = options_.port;
  }
  if (!bound)
    throw ComError(err::kUnexpected, kServerSource,
                   "Cannot listen on " + options_.host + ":" + std::to_string(options_.port) +
                       " (in use, or not an address of this machine).");
  return port_;
}

void ApiServer::Run() {
  running_ = true;
  if (!stop_requested_) http_->listen_after_bind();
  running_ = false;
}

void ApiServer::Stop() {
  stop_requested_ = true;
  // Run may be between its check and the accept loop; httplib ignores a stop until the loop
  // runs, so wait for one or the other.
  while (running_ && !http_->is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  http_->stop();
}

}  // namespace ambit
