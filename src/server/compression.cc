#include "server/compression.h"

#include <httplib.h>
#include <zlib.h>

#include <cctype>
#include <stdexcept>

namespace ambit {

std::string Gzip(std::string_view body, int level) {
  z_stream z{};
  // 15 + 16: a gzip wrapper rather than zlib's own.
  if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::string out(deflateBound(&z, body.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  z.avail_in = static_cast<uInt>(body.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

bool AcceptsGzip(std::string_view accept_encoding) {
  // Codings are comma-separated, each with optional parameters: "gzip;q=0" refuses it.
  size_t start = 0;
  while (start <= accept_encoding.size()) {
    size_t end = accept_encoding.find(',', start);
    if (end == std::string_view::npos) end = accept_encoding.size();
    std::string item;
    for (char c : accept_encoding.substr(start, end - start))
      if (c != ' ' && c != '\t')
        item += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string_view coding = item;
    std::string_view params;
    if (size_t semi = coding.find(';'); semi != std::string_view::npos) {
      params = coding.substr(semi);
      coding = coding.substr(0, semi);
    }
    if (coding == "gzip" || coding == "*") {
      bool refused = params.starts_with(";q=0") &&
                     params.find_first_not_of("0.", 3) == std::string_view::npos;
      return !refused;
    }
    start = end + 1;
  }
  return false;
}

void SendAsIs(httplib::Response& res, std::string_view body, const std::string& content_type) {
  res.set_content_provider(body.size(), content_type,
                           [body](size_t offset, size_t length, httplib::DataSink& sink) {
                             sink.write(body.data() + offset, length);
                             return true;
                           });
}

void EncodeAnswer(std::string_view accept_encoding, httplib::Response& res) {
  if (res.body.empty() || res.has_header("Content-Encoding") || !AcceptsGzip(accept_encoding))
    return;
  res.body = Gzip(res.body, Z_BEST_SPEED);
  res.set_header("Content-Encoding", "gzip");
}

GzipStream::GzipStream(Target target) : z_(std::make_unique<z_stream>()), target_(std::move(target)) {
  if (deflateInit2(z_.get(), Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  out_.resize(64 * 1024);
}

GzipStream::~GzipStream() { deflateEnd(z_.get()); }

bool GzipStream::Write(std::string_view piece) { return Deflate(piece, Z_NO_FLUSH); }
bool GzipStream::Finish() { return Deflate({}, Z_FINISH); }

bool GzipStream::Deflate(std::string_view in, int flush) {
  z_->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z_->avail_in = static_cast<uInt>(in.size());
  int rc = Z_OK;
  do {
    z_->next_out = reinterpret_cast<Bytef*>(out_.data());
    z_->avail_out = static_cast<uInt>(out_.size());
    rc = deflate(z_.get(), flush);
    if (rc == Z_STREAM_ERROR) return false;
    size_t ready = out_.size() - z_->avail_out;
    if (ready && !target_(std::string_view(out_.data(), ready))) return false;
  } while (z_->avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
  return rc == Z_OK || rc == Z_STREAM_END || rc == Z_BUF_ERROR;
}

}  // namespace ambit
