// Compression of what the server sends. The HTTP library compresses every answer itself, and
// picks brotli at its highest quality for any client that accepts brotli (every browser does):
// seconds of a core for the grid library, and a tenth of a second for a 20 KB list page, on
// every request. Answers go out gzipped instead, at a fast level, and the workbench's files
// are compressed once per process.
#ifndef AMBIT_SERVER_COMPRESSION_H_
#define AMBIT_SERVER_COMPRESSION_H_

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace httplib {
struct Response;
}  // namespace httplib

struct z_stream_s;

namespace ambit {

// The gzip form of `body` at zlib's `level` (1 fastest to 9 smallest).
std::string Gzip(std::string_view body, int level);

// Whether an Accept-Encoding header value admits gzip (and does not refuse it with q=0).
bool AcceptsGzip(std::string_view accept_encoding);

// Sends `body` exactly as given (already encoded, or not to be), past the library's own
// compression: a provider of known length goes out untouched.
void SendAsIs(httplib::Response& res, std::string_view body, const std::string& content_type);

// Gzips (fast) the body of an answer for a client whose Accept-Encoding admits it. The
// answer's content type must be one the library does not compress itself, or it would be
// encoded twice: the library matches types exactly, so "application/json; charset=utf-8" is
// left alone where "application/json" is not.
void EncodeAnswer(std::string_view accept_encoding, httplib::Response& res);

// gzip made piece by piece, at the fast level, for an answer that streams out: each Write
// hands on what deflate has ready, Finish the rest and the trailer.
class GzipStream {
 public:
  // Answers false when the compressed text cannot go on (the client went away).
  using Target = std::function<bool(std::string_view)>;
  explicit GzipStream(Target target);
  ~GzipStream();
  GzipStream(const GzipStream&) = delete;
  GzipStream& operator=(const GzipStream&) = delete;

  bool Write(std::string_view piece);
  bool Finish();

 private:
  bool Deflate(std::string_view in, int flush);

  std::unique_ptr<z_stream_s> z_;
  Target target_;
  std::string out_;
};

}  // namespace ambit

#endif  // AMBIT_SERVER_COMPRESSION_H_
