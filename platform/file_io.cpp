#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <limits>

namespace korvel {
namespace {

// Opens `path` with `flags` (plus O_CLOEXEC and O_NONBLOCK) and keeps it only
// when it is a regular file; the file's size goes to `size`. With `error`,
// says why it failed.
ScopedFd OpenRegular(const std::string& path, int flags, int64_t* size, std::string* error) {
  ScopedFd fd(::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644));
  if (fd.get() < 0) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return ScopedFd();
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    if (error) *error = "cannot open " + path + ": not a regular file";
    return ScopedFd();
  }
  if (size) *size = static_cast<int64_t>(st.st_size);
  return fd;
}

}  // namespace

bool ScopedFd::Close() {
  if (fd_ < 0) return true;
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

bool ReadRegularFile(const std::string& path, uint64_t ceiling_bytes, std::string* out,
                     LinkPolicy links) {
  const int nofollow = links == LinkPolicy::kRefuseLinks ? O_NOFOLLOW : 0;
  int64_t size = 0;
  ScopedFd fd = OpenRegular(path, O_RDONLY | nofollow, &size, nullptr);
  if (fd.get() < 0 || static_cast<uint64_t>(size) > ceiling_bytes) return false;
  std::string bytes(static_cast<size_t>(size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;  // the file shrank meanwhile: keep what was there
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  *out = std::move(bytes);
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* out) {
  return ReadRegularFile(path, std::numeric_limits<uint64_t>::max(), out, LinkPolicy::kFollowLinks);
}

bool WriteFileAt(const std::string& path, int64_t offset, std::string_view bytes,
                 std::string* error) {
  if (offset < 0) {
    if (error) *error = "cannot write " + path + ": negative offset";
    return false;
  }
  ScopedFd fd = OpenRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW, nullptr, error);
  if (fd.get() < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error) *error = "cannot write " + path + ": " + std::strerror(n < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (!fd.Close()) {
    if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  // Truncated only once it is known to be a regular file of ours.
  if (!TruncateFile(path)) return false;
  return WriteFileAt(path, 0, bytes);
}

bool TruncateFile(const std::string& path) {
  ScopedFd fd = OpenRegular(path, O_WRONLY | O_CREAT | O_NOFOLLOW, nullptr, nullptr);
  if (fd.get() < 0) return false;
  if (::ftruncate(fd.get(), 0) != 0) return false;
  return fd.Close();
}

}  // namespace korvel
