// The product's version, shown by `ambit-order --version`, GET /health and GET /api. Raised
// with every release that changes what clients see.
#ifndef AMBIT_BASE_VERSION_H_
#define AMBIT_BASE_VERSION_H_

namespace ambit {

inline constexpr char kVersion[] = "0.9.0";

}  // namespace ambit

#endif  // AMBIT_BASE_VERSION_H_
