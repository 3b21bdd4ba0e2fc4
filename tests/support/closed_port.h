// A TCP port on this machine that nothing listens on: a database server that cannot be reached.
#ifndef AMBIT_TESTS_SUPPORT_CLOSED_PORT_H_
#define AMBIT_TESTS_SUPPORT_CLOSED_PORT_H_

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ambit::testing {

// Bound once and closed again: the kernel refuses connections to it until someone else takes it.
inline int ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t length = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
  ::close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace ambit::testing

#endif  // AMBIT_TESTS_SUPPORT_CLOSED_PORT_H_
