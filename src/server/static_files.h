// The order workbench: the browser files of web/public, built into the binary so that a server
// needs no folder beside it. GET / answers index.html and every other file answers at its path
// under web/public; /api and /health stay the API's.
#ifndef AMBIT_SERVER_STATIC_FILES_H_
#define AMBIT_SERVER_STATIC_FILES_H_

#include <string>
#include <string_view>
#include <vector>

namespace httplib {
class Server;
}

namespace ambit {

struct WebFile {
  std::string_view path;  // relative to web/public, "/"-separated: "vendor/tabulator.min.css"
  std::string_view body;
};

// Every embedded file (generated at build time from web/public).
const std::vector<WebFile>& EmbeddedWebFiles();

// The file a request path names ("/" is "/index.html"); null when there is none.
const WebFile* FindWebFile(std::string_view request_path);

// The media type of a file by its extension; application/octet-stream when unknown.
std::string_view WebContentType(std::string_view path);

// The gzip form of a file, made on first use and kept for the life of the process.
std::string_view GzipBody(const WebFile& file);

// The file's entity tag: the same for the same body, quoted as HTTP wants it.
const std::string& WebFileETag(const WebFile& file);

// Adds the GET routes of the workbench. Paths under /api and /health never match, whatever
// order the routes were added in. Files go out gzipped to clients that accept it, compressed
// once per process (server/compression.h says why); a matching If-None-Match answers 304.
void AddWorkbenchRoutes(httplib::Server& http);

}  // namespace ambit

#endif  // AMBIT_SERVER_STATIC_FILES_H_
