#include "server/static_files.h"

#include <httplib.h>

#include <array>
#include <utility>

namespace ambit {

const WebFile* FindWebFile(std::string_view request_path) {
  if (request_path.empty() || request_path.front() != '/') return nullptr;
  std::string_view path = request_path.substr(1);
  if (path.empty()) path = "index.html";
  for (const WebFile& file : EmbeddedWebFiles())
    if (file.path == path) return &file;
  return nullptr;
}

std::string_view WebContentType(std::string_view path) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kTypes = {{
      {".html", "text/html; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
  }};
  for (const auto& [ext, type] : kTypes)
    if (path.size() > ext.size() && path.substr(path.size() - ext.size()) == ext) return type;
  return "application/octet-stream";
}

void AddWorkbenchRoutes(httplib::Server& http) {
  // The lookahead keeps the API's paths out even if their routes come later; a path that is
  // neither answers 404 through the server's JSON error handler.
  http.Get(R"(/(?!api(?:/|$)|health$).*)", [](const httplib::Request& req,
                                               httplib::Response& res) {
    const WebFile* file = FindWebFile(req.path);
    if (!file) {
      res.status = 404;
      return;
    }
    // Everything the page needs comes from this server: the policy makes a stray outside
    // reference fail loudly instead of leaking the user's session to a third party.
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; "
                   "frame-ancestors 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    // The files change only with the binary; revalidating is cheap on the same machine.
    res.set_header("Cache-Control", "no-cache");
    res.set_content(file->body.data(), file->body.size(), std::string(WebContentType(file->path)));
  });
}

}  // namespace ambit
