#include "link/wire/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace korvel {
namespace {

bool SetNonBlocking(int fd, bool on) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0) return false;
  const int want = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return want == flags || ::fcntl(fd, F_SETFL, want) == 0;
}

bool ParseAddress(const std::string& dotted, uint16_t port, sockaddr_in* out) {
  *out = sockaddr_in{};
  out->sin_family = AF_INET;
  out->sin_port = htons(port);
  return ::inet_pton(AF_INET, dotted.c_str(), &out->sin_addr) == 1;
}

// poll() on one fd for at most timeout_ms in all; EINTR resumes with the
// time left. Returns poll's answer (> 0 ready, 0 timed out, < 0 error).
int PollOne(int fd, short events, int timeout_ms, short* revents) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  while (true) {
    int wait_ms = -1;
    if (timeout_ms >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait_ms = static_cast<int>(std::clamp<long long>(left, 0, INT32_MAX));
    }
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, wait_ms);
    if (rc < 0 && errno == EINTR) continue;
    if (revents) *revents = p.revents;
    return rc;
  }
}

void SetError(int* error, int value) {
  if (error) *error = value;
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

void Socket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);  // never retried on EINTR: the descriptor is gone either way
    fd_ = -1;
  }
}

int Socket::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

Socket ConnectTcp(const std::string& dotted_ipv4, uint16_t port, int timeout_ms, int* error) {
  SetError(error, 0);
  sockaddr_in addr;
  if (!ParseAddress(dotted_ipv4, port, &addr)) {
    SetError(error, EINVAL);
    return Socket();
  }
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s) {
    SetError(error, errno);
    return Socket();
  }
  if (!SetNonBlocking(s.fd(), true)) {
    SetError(error, errno);
    return Socket();
  }
  if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      SetError(error, errno);
      return Socket();
    }
    short revents = 0;
    const int rc = PollOne(s.fd(), POLLOUT, timeout_ms, &revents);
    if (rc == 0) {
      SetError(error, ETIMEDOUT);
      return Socket();
    }
    if (rc < 0) {
      SetError(error, errno);
      return Socket();
    }
    // A refused or unreachable connect also reports the socket writable;
    // only SO_ERROR tells success from failure.
    int so_error = 0;
    socklen_t len = sizeof(so_error);
    if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &so_error, &len) != 0) {
      SetError(error, errno);
      return Socket();
    }
    if (so_error != 0) {
      SetError(error, so_error);
      return Socket();
    }
  }
  if (!SetNonBlocking(s.fd(), false)) {
    SetError(error, errno);
    return Socket();
  }
  const int one = 1;
  ::setsockopt(s.fd(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  return s;
}

Socket ListenTcp(const std::string& address, uint16_t port, int backlog, uint16_t* bound_port) {
  sockaddr_in addr;
  if (!ParseAddress(address, port, &addr)) return Socket();
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s) return Socket();
  const int one = 1;
  ::setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  if (::bind(s.fd(), reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) return Socket();
  if (::listen(s.fd(), backlog) != 0) return Socket();
  if (bound_port) {
    sockaddr_in got{};
    socklen_t len = sizeof(got);
    if (::getsockname(s.fd(), reinterpret_cast<sockaddr*>(&got), &len) != 0) return Socket();
    *bound_port = ntohs(got.sin_port);
  }
  return s;
}

Socket AcceptTcp(int listen_fd, int timeout_ms) {
  if (listen_fd < 0) return Socket();
  while (true) {
    if (timeout_ms >= 0) {
      short revents = 0;
      if (PollOne(listen_fd, POLLIN, timeout_ms, &revents) <= 0) return Socket();
    }
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
      return Socket(fd);
    }
    // A connection that was reset before it was taken is not a reason to
    // give up; EINTR neither.
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && timeout_ms >= 0) continue;
    return Socket();
  }
}

void ShutdownSocket(int fd) {
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

}  // namespace korvel
