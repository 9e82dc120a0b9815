#include "link/wire/frame_io.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/wire/frame_codec.h"

namespace korvel {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, at least 0.
int RemainingMs(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, INT32_MAX));
}

// poll() for `events` on fd, at most timeout_ms in all (EINTR resumes with
// what is left). True when the fd is ready (also on an error condition, so
// that the following call reports it).
bool WaitFor(int fd, short events, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  while (true) {
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, RemainingMs(deadline));
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Reads exactly n bytes into buf; the whole read must end by `deadline`.
bool ReadExact(FrameSource& source, uint8_t* buf, size_t n, Clock::time_point deadline) {
  size_t got = 0;
  while (got < n) {
    const long rc = source.Read(buf + got, n - got, RemainingMs(deadline));
    if (rc <= 0) return false;
    got += static_cast<size_t>(rc);
  }
  return true;
}

// Largest single read, whatever the chunk size says, so that a false wire
// length allocates at most this much ahead of the bytes that came.
constexpr size_t kMaxReadBytes = 1024 * 1024;

}  // namespace

// ---- sending ---------------------------------------------------------------

bool SendAll(int fd, std::string_view bytes, int timeout_ms) {
  if (fd < 0) return false;
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t rc = ::send(fd, bytes.data() + sent, bytes.size() - sent,
                              MSG_NOSIGNAL | MSG_DONTWAIT);
    if (rc > 0) {
      sent += static_cast<size_t>(rc);
      continue;
    }
    if (rc < 0 && errno == EINTR) continue;
    if (rc < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The send buffer is full: wait for the peer to take bytes, bounded.
      if (!WaitFor(fd, POLLOUT, timeout_ms)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool SendFrame(int fd, std::string_view message, bool compress, int timeout_ms) {
  if (fd < 0) return false;
  const std::string frame = EncodeFrame(message, compress);
  if (frame.empty()) return false;
  return SendAll(fd, frame, timeout_ms);
}

// ---- receiving ---------------------------------------------------------------

long SocketFrameSource::Read(void* buf, size_t max, int timeout_ms) {
  if (fd_ < 0 || max == 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  while (true) {
    if (!WaitFor(fd_, POLLIN, RemainingMs(deadline))) return -1;
    const ssize_t rc = ::recv(fd_, buf, max, MSG_DONTWAIT);
    if (rc >= 0) return static_cast<long>(rc);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
      if (RemainingMs(deadline) == 0) return -1;
      continue;
    }
    return -1;
  }
}

int SocketFrameSource::ReceiveBufferSize() {
  if (fd_ < 0) return 0;
  int size = 0;
  socklen_t len = sizeof(size);
  if (::getsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, &len) != 0) return 0;
  return size;
}

ReceiveStatus ReceiveFrameFrom(FrameSource& source, int32_t* chunk_size, std::string* message,
                               int timeout_ms) {
  message->clear();
  // 1. The whole header within one wait, however TCP splits it.
  uint8_t head[kFrameHeaderSize];
  const auto header_deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  if (!ReadExact(source, head, kFrameHeaderSize, header_deadline)) return ReceiveStatus::kFailed;

  // 2. Marker and lengths; nothing is allocated for a refused claim.
  FrameHeader h;
  if (!DecodeFrameHeader(head, &h)) return ReceiveStatus::kFailed;
  if (h.wire_length == 0) return ReceiveStatus::kFailed;

  // 3. The body, chunk by chunk. The buffer grows with the bytes that
  //    actually arrive, never ahead of them by more than one chunk.
  std::string body;
  const auto wire = static_cast<size_t>(h.wire_length);
  while (body.size() < wire) {
    const int rcvbuf = source.ReceiveBufferSize();
    if (rcvbuf > 0) *chunk_size = rcvbuf;
    const size_t chunk = *chunk_size > 0 ? static_cast<size_t>(*chunk_size)
                                         : static_cast<size_t>(kDefaultPacketSize);
    const size_t want = std::min({chunk, kMaxReadBytes, wire - body.size()});
    const size_t old = body.size();
    body.resize(old + want);
    const long rc = source.Read(body.data() + old, want, timeout_ms);
    if (rc <= 0) return ReceiveStatus::kFailed;
    body.resize(old + static_cast<size_t>(rc));
  }

  // 4. Inflate a compressed body to exactly its plain length.
  if (h.marker == kFrameMarkerCompressed) {
    if (!InflateExact(body, h.plain_length, message)) message->clear();
    return ReceiveStatus::kMessage;
  }
  *message = std::move(body);
  return ReceiveStatus::kMessage;
}

ReceiveStatus ReceiveFrame(int fd, int32_t* chunk_size, std::string* message, int timeout_ms) {
  message->clear();
  if (fd < 0) return ReceiveStatus::kFailed;
  SocketFrameSource source(fd);
  return ReceiveFrameFrom(source, chunk_size, message, timeout_ms);
}

}  // namespace korvel
