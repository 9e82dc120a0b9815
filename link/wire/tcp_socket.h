// IPv4 TCP sockets for the link, the replacement message server and tests.
//
// Socket owns one file descriptor and closes it once; after Close() or
// Release() its fd() is -1, so I/O on a closed handle fails instead of
// reaching whatever file reuses the number. Every socket is created with
// close-on-exec. A Socket is used by one thread at a time; ShutdownSocket may
// be called from another thread to wake a call blocked on it.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Close(); }
  Socket(Socket&& other) noexcept : fd_(other.Release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  int fd() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Closes the descriptor (if any); fd() becomes -1.
  void Close();
  // Gives up ownership: returns the descriptor, fd() becomes -1.
  int Release();

 private:
  int fd_ = -1;
};

// Connects to a dotted-decimal IPv4 address (no name lookup): a
// non-blocking connect, a poll() of at most timeout_ms for writability,
// then SO_ERROR (a refused connect also reports writable), then back to
// blocking mode. An invalid Socket on any failure; *error (when given)
// receives the errno of the failure (ETIMEDOUT for the end of the wait,
// EINVAL for an unreadable address), 0 on success.
Socket ConnectTcp(const std::string& dotted_ipv4, uint16_t port, int timeout_ms,
                  int* error = nullptr);

// A listening socket on a dotted-decimal IPv4 address ("0.0.0.0" for all)
// with SO_REUSEADDR; port 0 picks a free port. *bound_port (when given)
// receives the port bound. Invalid Socket on failure.
Socket ListenTcp(const std::string& address, uint16_t port, int backlog,
                 uint16_t* bound_port = nullptr);

// Accepts one connection, retrying on EINTR. timeout_ms < 0 waits without
// end; otherwise an invalid Socket when nobody connects within the wait.
Socket AcceptTcp(int listen_fd, int timeout_ms = -1);

// shutdown(SHUT_RDWR): a call blocked on the socket in another thread
// returns; the descriptor stays open. Ignores -1 and errors.
void ShutdownSocket(int fd);

}  // namespace korvel
