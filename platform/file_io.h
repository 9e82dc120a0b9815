// Whole-file reads and positional writes on regular files, for files that a
// peer or another process may have replaced: no symbolic link at the last
// path component is followed, and anything but a regular file (a FIFO, a
// device, a folder) is refused. Opens use O_NONBLOCK so that a FIFO planted
// in a file's place cannot block the caller. Free functions, no shared
// state; safe from any thread (concurrent writers to one file must agree
// among themselves).
#pragma once

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// A file descriptor closed when it goes out of scope (-1: none).
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  ScopedFd& operator=(ScopedFd&&) = delete;
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  // Closes now; false when close() reports an error (a write not stored).
  bool Close();

 private:
  int fd_;
};

enum class LinkPolicy { kRefuseLinks, kFollowLinks };

// The bytes of the regular file at `path`, of at most `ceiling_bytes`
// bytes. False when it is missing, a link (unless kFollowLinks), not a
// regular file, larger than the ceiling, or unreadable. A file that shrinks
// during the read gives what was there.
bool ReadRegularFile(const std::string& path, uint64_t ceiling_bytes, std::string* out,
                     LinkPolicy links = LinkPolicy::kRefuseLinks);

// The whole content of one of the program's own files (its settings, the
// server's archives): no ceiling, and a link is followed as an ifstream
// would. False when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* out);

// Writes `bytes` at byte `offset` (>= 0) of the regular file at `path`,
// creating it (mode 0644) when missing; the rest of the file stays. False on
// any failure, with `error` (when given) saying which step failed and why.
bool WriteFileAt(const std::string& path, int64_t offset, std::string_view bytes,
                 std::string* error = nullptr);

// Replaces the whole content of the regular file at `path` with `bytes`,
// creating it when missing.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// Cuts the regular file at `path` to zero bytes, creating it when missing.
bool TruncateFile(const std::string& path);

}  // namespace korvel
