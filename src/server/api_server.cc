#include "server/api_server.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <thread>

#include "base/com_error.h"
#include "base/version.h"
#include "frame/variant_json.h"
#include "server/compression.h"
#include "server/memory.h"
#include "server/worker_pool.h"
#include "server/static_files.h"

namespace ambit {
namespace {

constexpr char kServerSource[] = "ambit-order.server";
// With its charset, the HTTP library does not compress answers itself (EncodeAnswer does).
constexpr char kJson[] = "application/json; charset=utf-8";

using Clock = std::chrono::steady_clock;

// What the access log needs of the request a worker is answering; a request stays on one
// worker from routing to logging.
struct RequestTrace {
  Clock::time_point start;
  std::string id;
  std::string user = "-";
  std::string outcome;
  std::string accept_encoding;  // how the answer may be compressed
};
thread_local RequestTrace trace;

// Requests on one kept-alive connection before it is closed (see the constructor).
constexpr size_t kKeepAliveRequests = 1000;

// A client's own request id is kept when it is a sane one, so its logs and ours line up.
bool UsableRequestId(const std::string& id) {
  return !id.empty() && id.size() <= 64 &&
         std::all_of(id.begin(), id.end(), [](unsigned char c) {
           return std::isalnum(c) || c == '-' || c == '_' || c == '.';
         });
}

std::string NewRequestId() {
  static std::atomic<uint64_t> next{0};
  // The start time in the id keeps ids of two server runs apart in one log.
  static const uint64_t epoch = static_cast<uint64_t>(std::time(nullptr));
  char id[44];
  char* end = std::to_chars(id, id + 20, epoch, 16).ptr;
  *end++ = '-';
  end = std::to_chars(end, id + sizeof id, next.fetch_add(1, std::memory_order_relaxed) + 1).ptr;
  return std::string(id, end);
}

// The methods a path answers to, for the Allow header of a 405; empty for an unknown path.
std::string AllowedMethods(const std::string& path) {
  if (path == "/api" || path == "/health" || path == "/api/openapi.json") return "GET";
  size_t slash = path.find('/', 5);
  if (path.rfind("/api/", 0) == 0 && slash != std::string::npos && slash > 5 &&
      slash + 1 < path.size() && path.find('/', slash + 1) == std::string::npos)
    return "POST";
  return {};
}

Json ErrorBody(int32_t number, const std::string& source, const std::string& description) {
  return {{"error", {{"number", number}, {"source", source}, {"description", description}}}};
}

void Reply(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), kJson);
  EncodeAnswer(trace.accept_encoding, res);
}

// Answers with more cells than this stream out in chunks as they are written; smaller ones go
// in one piece with their length. Either way no JSON tree is built, and the text is gzipped
// when the client accepts it (a streamed answer chunk by chunk).
constexpr int64_t kStreamCells = 20000;
constexpr size_t kChunkBytes = 256 * 1024;

int64_t ResultCells(const CallAnswer& answer) {
  auto rs = answer.result.As<Recordset>();
  return rs && rs->IsOpen() ? rs->RecordCount() * rs->FieldCount() : 0;
}

void ReplyAnswer(httplib::Response& res, CallAnswer answer) {
  res.status = 200;
  if (ResultCells(answer) < kStreamCells) {
    JsonText text;
    WriteAnswerJson(answer, text);
    res.set_content(text.text(), kJson);
    EncodeAnswer(trace.accept_encoding, res);
    return;
  }
  // The provider runs after the handler returns, on the same worker, and is called once: it
  // writes the whole answer, each chunk going out (compressed when asked) as it fills.
  auto held = std::make_shared<CallAnswer>(std::move(answer));
  bool gzip = AcceptsGzip(trace.accept_encoding);
  if (gzip) res.set_header("Content-Encoding", "gzip");
  res.set_chunked_content_provider(
      kJson,
      [held, gzip](size_t, httplib::DataSink& sink) {
        auto send = [&sink](std::string_view piece) {
          return sink.write(piece.data(), piece.size());
        };
        std::optional<GzipStream> zipped;
        if (gzip) zipped.emplace(send);
        JsonText text(
            [&](std::string_view piece) { return zipped ? zipped->Write(piece) : send(piece); },
            kChunkBytes);
        try {
          WriteAnswerJson(*held, text);
        } catch (const std::exception&) {
          return false;  // checked before the call ended; cut the answer short all the same
        }
        if (!text.Flush() || (zipped && !zipped->Finish())) return false;
        sink.done();
        return true;
      },
      [held, cells = ResultCells(*held)](bool) {
        *held = CallAnswer();  // the provider's copy of `held` lives as long as the response
        ReleaseFreedMemoryAfter(cells);
      });
}

void ReplyError(httplib::Response& res, int status, const ComError& e) {
  trace.outcome = "error " + std::to_string(e.number()) + " " +
                  Json(e.description()).dump(-1, ' ', false, Json::error_handler_t::replace);
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
  return std::max<size_t>(64, cores * 16);
}

size_t DefaultConnectionCount() {
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
      tokens_(std::make_shared<const TokenStore>(std::move(tokens))),
      options_(std::move(options)),
      workers_(options_.workers ? options_.workers : DefaultWorkerCount()),
      http_(std::make_unique<httplib::Server>()) {
  TuneAllocatorForServing();
  size_t workers = workers_;
  http_->new_task_queue = [workers] { return new WorkerPool(workers); };
  http_->set_payload_max_length(options_.max_body_bytes);
  // Headers and body leave in separate writes; without this, Nagle's algorithm and the
  // client's delayed ACK add some 40 ms to every answer.
  http_->set_tcp_nodelay(true);
  // Without SO_REUSEPORT (which httplib sets by default) a second server on a port in use is
  // refused, instead of splitting the requests between two servers and their accounts.
  http_->set_socket_options([this](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const void*>(&yes), sizeof yes);
    listen_socket_ = sock;
  });
  http_->set_keep_alive_timeout(2);
  // httplib closes a kept-alive connection after 5 requests by default: a reconnect every 5
  // calls for a client that meant to stay.
  http_->set_keep_alive_max_count(kKeepAliveRequests);
  http_->set_read_timeout(10);
  Route();
}

ApiServer::~ApiServer() { Stop(); }

void ApiServer::SetTokens(TokenStore tokens) {
  auto next = std::make_shared<const TokenStore>(std::move(tokens));
  std::lock_guard lock(tokens_mu_);
  tokens_ = std::move(next);
}

UserLoginPtr ApiServer::FindUser(std::string_view token) const {
  std::shared_ptr<const TokenStore> tokens;
  {
    std::lock_guard lock(tokens_mu_);
    tokens = tokens_;
  }
  return tokens->Find(token);
}

void ApiServer::Route() {
  http_->set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    std::string id = req.get_header_value("X-Request-Id");
    trace = RequestTrace{Clock::now(), UsableRequestId(id) ? id : NewRequestId(), "-", "",
                         req.get_header_value("Accept-Encoding")};
    res.set_header("X-Request-Id", trace.id);
    return httplib::Server::HandlerResponse::Unhandled;
  });

  // Finds the user of a request, or answers 401 and returns null.
  auto authenticate = [this](const httplib::Request& req, httplib::Response& res) {
    UserLoginPtr user = FindUser(BearerToken(req));
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

  // The body is read through a content reader: httplib would otherwise parse a body labelled
  // as a form (what `curl -d` sends) itself and refuse one over 8 KB, whatever the body limit.
  http_->Post(R"(/api/([^/]+)/([^/]+))", [this, authenticate](
                                             const httplib::Request& req, httplib::Response& res,
                                             const httplib::ContentReader& content_reader) {
    UserLoginPtr user = authenticate(req, res);
    if (!user) return;
    auto bad_body = [&](const std::string& why) {
      ReplyError(res, 400, ComError(err::kInvalidArgument, kServerSource, why));
    };
    if (req.is_multipart_form_data()) return bad_body("The request body is not valid JSON.");
    std::string body;
    // On failure (a body over the limit) httplib has set the status; the error handler
    // gives the answer its JSON shape.
    if (!content_reader([&body](const char* data, size_t size) {
          body.append(data, size);
          return true;
        }))
      return;
    Json args = Json::object();
    if (body.find_first_not_of(" \t\r\n") != std::string::npos) {
      bool too_deep = false;
      args = ParseClientJson(body, &too_deep);
      if (too_deep)
        return bad_body("The request body nests arrays or objects deeper than " +
                        std::to_string(kMaxJsonDepth) + " levels.");
      if (args.is_discarded()) return bad_body("The request body is not valid JSON.");
    }
    try {
      CallAnswer answer = dispatcher_.Invoke(
          {req.matches[1].str(), req.matches[2].str(), std::move(args), user, req.remote_addr});
      trace.outcome = "ok";
      ReplyAnswer(res, std::move(answer));
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
    Json catalogue = dispatcher_.Catalogue();
    catalogue["version"] = kVersion;
    Reply(res, 200, catalogue);
  });

  http_->Get("/api/openapi.json", [this](const httplib::Request&, httplib::Response& res) {
    trace.outcome = "ok";
    Reply(res, 200, dispatcher_.OpenApi());
  });

  http_->Get("/health", [this](const httplib::Request&, httplib::Response& res) {
    trace.outcome = "ok";
    Json health = {{"status", "ok"},
                             {"version", kVersion},
                             {"accounts", dispatcher_.accounts().account_names()}};
    if (options_.health_details) health.update(options_.health_details());
    Reply(res, 200, health);
  });

  AddWorkbenchRoutes(*http_);

  // Whatever httplib answered on its own (no route, body too large, bad request line) still
  // gets the JSON error shape clients parse.
  size_t max_body = options_.max_body_bytes;
  http_->set_error_handler(httplib::Server::HandlerWithResponse([max_body](
                                                                    const httplib::Request& req,
                                                                    httplib::Response& res) {
    if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    if (trace.id.empty()) {  // refused before routing: an oversized body, say
      trace.id = NewRequestId();
      res.set_header("X-Request-Id", trace.id);
    }
    std::string description;
    std::string allowed = res.status == 404 ? AllowedMethods(req.path) : std::string();
    if (!allowed.empty()) {
      res.status = 405;
      res.set_header("Allow", allowed);
    }
    switch (res.status) {
      case 404:
        description = "No such resource: " + req.method + " " + req.path + ".";
        break;
      case 405:
        description = req.path + " answers " + allowed + " only, not " + req.method + ".";
        break;
      case 413:
        description = "The request body is larger than the server accepts (" +
                      std::to_string(max_body) +
                      " bytes; `ambit-order serve --max-body` sets the limit).";
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

  http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (options_.access_log) {
      double ms = std::chrono::duration<double, std::milli>(Clock::now() - trace.start).count();
      char duration[32];
      std::snprintf(duration, sizeof duration, "%.1fms", ms);
      options_.access_log(UtcNow() + " " + req.remote_addr + " " + req.method + " " + req.path +
                          " id=" + (trace.id.empty() ? "-" : trace.id) + " user=" + trace.user +
                          " status=" + std::to_string(res.status) + " " + duration + " " +
                          (trace.outcome.empty() ? "-" : trace.outcome));
    }
    // A request refused before routing (a bad request line) must not inherit this one.
    trace = RequestTrace{Clock::now(), "", "-", "", ""};
  });
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
  // httplib listens with a backlog of 5. Clients reconnect every few requests (a worker serves
  // a connection a few requests, then closes it so that others get their turn), and while the
  // accepting thread waits for a core the sixth connection's handshake is dropped: its client
  // hangs a second for the retry or fails. The kernel takes a second listen as a new backlog.
  int accepting = 0;
  socklen_t size = sizeof accepting;
  int sock = listen_socket_;
  if (sock >= 0 && getsockopt(sock, SOL_SOCKET, SO_ACCEPTCONN, &accepting, &size) == 0 &&
      accepting)
    ::listen(sock, SOMAXCONN);
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
