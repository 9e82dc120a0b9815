#include "link/session/stoppable_connect.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/tick.h"

namespace korvel {
namespace {

constexpr int kSliceMs = 50;

bool SetNonBlocking(int fd, bool on) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  const int want = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return want == flags || ::fcntl(fd, F_SETFL, want) == 0;
}

bool Resolve(const ConnectTarget& target, HostLookup lookup, sockaddr_in* out) {
  *out = sockaddr_in{};
  out->sin_family = AF_INET;
  out->sin_port = htons(static_cast<uint16_t>(target.port));
  if (::inet_pton(AF_INET, target.host.c_str(), &out->sin_addr) == 1) return true;
  if (lookup != HostLookup::kAllowNames || target.host.empty()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(target.host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  bool ok = false;
  if (found->ai_addrlen >= sizeof(sockaddr_in)) {
    out->sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ok = true;
  }
  ::freeaddrinfo(found);
  return ok;
}

bool Stopped(const std::atomic<bool>* stop) { return stop != nullptr && stop->load(); }

}  // namespace

Socket ConnectStoppable(const ConnectTarget& target, int timeout_ms, HostLookup lookup,
                        const std::atomic<bool>* stop) {
  if (target.port < 1 || target.port > 65535) return Socket();
  sockaddr_in addr;
  if (!Resolve(target, lookup, &addr) || Stopped(stop)) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s || !SetNonBlocking(s.fd(), true)) return Socket();
  if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) return Socket();
    const int64_t deadline = SteadyMs() + std::max(timeout_ms, 0);
    while (true) {
      if (Stopped(stop)) return Socket();
      const int64_t left = deadline - SteadyMs();
      if (left <= 0) return Socket();
      pollfd p{s.fd(), POLLOUT, 0};
      const int rc = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left, kSliceMs)));
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0) return Socket();
      if (rc > 0) break;
    }
    // A refused connect also reports writable; SO_ERROR tells.
    int so_error = 0;
    socklen_t len = sizeof(so_error);
    if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &so_error, &len) != 0 || so_error != 0) {
      return Socket();
    }
  }
  if (!SetNonBlocking(s.fd(), false)) return Socket();
  return s;
}

}  // namespace korvel
