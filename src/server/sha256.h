// SHA-256 of a byte string, as lower-case hex. The token file keeps only these digests, so a
// copy of the file does not let anyone in.
#ifndef AMBIT_SERVER_SHA256_H_
#define AMBIT_SERVER_SHA256_H_

#include <string>
#include <string_view>

namespace ambit {

std::string Sha256Hex(std::string_view data);

}  // namespace ambit

#endif  // AMBIT_SERVER_SHA256_H_
