// Sending and receiving one frame over a connected stream socket.
//
// The exchange with the message server strictly alternates: after every
// frame the link sends it reads exactly one frame. There is no
// resynchronisation: a frame header that cannot be read whole within the
// wait, or that carries a bad marker or length, fails the exchange and the
// caller drops the connection.
//
// Threads: each call works on the one socket it is given; a socket must be
// used by one thread at a time (the link thread `cl`). Another thread may
// ShutdownSocket() it to end a blocked call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/wire/wire_format.h"

namespace korvel {

// ---- sending ---------------------------------------------------------------

// Frames one message (plain, or compressed when `compress`) and writes
// header and body as one buffer, looping until every byte is written. Writes
// use MSG_NOSIGNAL (a reset peer cannot raise SIGPIPE) and retry on EINTR; a
// peer that takes no byte for `timeout_ms` fails the send, so a stalled
// server cannot block the link forever. Returns whether the whole frame was
// written. A fd of -1 fails.
bool SendFrame(int fd, std::string_view message, bool compress,
               int timeout_ms = kReceiveTimeoutMs);

// Writes all of `bytes` with the same rules as SendFrame.
bool SendAll(int fd, std::string_view bytes, int timeout_ms = kReceiveTimeoutMs);

// ---- receiving ---------------------------------------------------------------

// Where the frame reader takes its bytes from: a socket in the program, an
// in-memory script in tests and fuzzing.
class FrameSource {
 public:
  virtual ~FrameSource() = default;

  // Waits up to timeout_ms for bytes and reads at most `max` (> 0) of them.
  // Returns the number read (> 0), 0 when the stream has ended, or -1 on an
  // error or when nothing came within the wait.
  virtual long Read(void* buf, size_t max, int timeout_ms) = 0;

  // The current receive-buffer size, or a value <= 0 when it is unknown.
  virtual int ReceiveBufferSize() = 0;
};

// A FrameSource over a socket: poll() then recv(), EINTR retried;
// ReceiveBufferSize is getsockopt(SO_RCVBUF). A fd of -1 fails every read.
class SocketFrameSource : public FrameSource {
 public:
  explicit SocketFrameSource(int fd) : fd_(fd) {}
  long Read(void* buf, size_t max, int timeout_ms) override;
  int ReceiveBufferSize() override;

 private:
  int fd_;
};

enum class ReceiveStatus {
  kMessage,  // *message holds the message; empty when a compressed body did
             // not inflate to its plain length (drop it, count no error)
  kFailed,   // the exchange failed: the caller counts an error and drops
};

// Reads one frame:
// 1. all 21 header bytes, however many pieces they come in, within
//    timeout_ms in total; a closed stream, an error or the end of the wait
//    fails;
// 2. a marker other than 0xFF/0xF0, a length below 0 or above
//    kMaxFrameLength, or a wire length of 0 fails (nothing is allocated for
//    the claimed length);
// 3. the body in chunks: before each read the source's receive-buffer size,
//    when known, replaces *chunk_size (which starts as the PacketSize
//    setting); each read asks for at most *chunk_size and at most the bytes
//    still missing, and waits up to timeout_ms; a failed read, the end of the
//    wait or a closed stream fails; a *chunk_size below 1 reads with
//    kDefaultPacketSize;
// 4. a 0xF0 body is inflated to exactly its plain length (whatever the
//    receiver's own Compression setting); when it does not inflate exactly,
//    the result is kMessage with an empty *message. A 0xFF body is the
//    message as it stands.
ReceiveStatus ReceiveFrameFrom(FrameSource& source, int32_t* chunk_size, std::string* message,
                               int timeout_ms = kReceiveTimeoutMs);

// ReceiveFrameFrom over a socket; a fd of -1 fails.
ReceiveStatus ReceiveFrame(int fd, int32_t* chunk_size, std::string* message,
                           int timeout_ms = kReceiveTimeoutMs);

}  // namespace korvel
