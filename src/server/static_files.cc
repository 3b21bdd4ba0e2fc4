#include "server/static_files.h"

#include <httplib.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <utility>

#include "server/compression.h"

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

namespace {

// Made once per file; the map's nodes never move, so the views handed out stay valid.
struct FileForms {
  std::mutex mu;
  std::map<const WebFile*, std::string> gzip;
  std::map<const WebFile*, std::string> etag;
};
FileForms& Forms() {
  static FileForms forms;
  return forms;
}

}  // namespace

std::string_view GzipBody(const WebFile& file) {
  FileForms& forms = Forms();
  std::lock_guard<std::mutex> lock(forms.mu);
  auto it = forms.gzip.find(&file);
  if (it == forms.gzip.end())
    it = forms.gzip.emplace(&file, Gzip(file.body, Z_BEST_COMPRESSION)).first;
  return it->second;
}

const std::string& WebFileETag(const WebFile& file) {
  FileForms& forms = Forms();
  std::lock_guard<std::mutex> lock(forms.mu);
  auto it = forms.etag.find(&file);
  if (it == forms.etag.end()) {
    char tag[32];
    std::snprintf(tag, sizeof tag, "\"%zx-%zx\"", std::hash<std::string_view>{}(file.body),
                  file.body.size());
    it = forms.etag.emplace(&file, tag).first;
  }
  return it->second;
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
    const std::string& etag = WebFileETag(*file);
    res.set_header("ETag", etag);
    res.set_header("Vary", "Accept-Encoding");
    if (req.get_header_value("If-None-Match") == etag) {
      res.status = 304;
      return;
    }
    std::string_view body = file->body;
    if (AcceptsGzip(req.get_header_value("Accept-Encoding"))) {
      body = GzipBody(*file);
      res.set_header("Content-Encoding", "gzip");
    }
    SendAsIs(res, body, std::string(WebContentType(file->path)));
  });
}

}  // namespace ambit
