// Loading the year archive files into the archive entry.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/byte_io.h"
#include "video/archive/archive_entry.h"

namespace korvel {
namespace {

// Closes a file descriptor when it goes out of scope.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

// The bytes of a regular file, not through a symbolic link, of at most
// kArchiveFileCeiling bytes; empty otherwise. O_NONBLOCK keeps a FIFO put in
// its place from blocking the open.
std::string ReadArchiveFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return {};
  FdCloser closer(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<uint64_t>(st.st_size) > kArchiveFileCeiling) {
    return {};
  }
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return {};
    if (n == 0) break;  // the file shrank meanwhile: keep what was there
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace

std::string ArchiveName(int year) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", std::clamp(year, 0, 9999));
  return std::string(kArchiveNamePrefix) + text;
}

void LoadArchiveYear(std::string_view base_dir, int year, ArchiveEntry* entry) {
  {
    std::lock_guard lock(entry->mutex);
    entry->active = false;
  }
  std::string dir(base_dir);
  if (!dir.empty() && dir.back() != '/') dir.push_back('/');
  dir += "temp/";
  const std::string name = ArchiveName(year);
  std::string pool = ReadArchiveFile(dir + name + std::string(kArchivePoolExtension));
  std::string records = ReadArchiveFile(dir + name + std::string(kArchiveRecordExtension));
  std::string index = ReadArchiveFile(dir + name + std::string(kArchiveIndexExtension));

  // The header rule: a header that is present and of a known kind gives its
  // length and year; anything else (an empty index, a header cut short, an
  // unknown kind) must not keep the previous year's values, so it takes the
  // year being loaded and the year header's length.
  const uint8_t kind = index.empty() ? 0 : static_cast<uint8_t>(index[0]);
  uint8_t header_length = kArchiveYearHeaderSize;
  auto header_year = static_cast<int16_t>(year);
  if (kind >= 1 && kind <= 5 && index.size() >= static_cast<size_t>(kind) + 2) {
    header_length = static_cast<uint8_t>(kind + 2);
    header_year = static_cast<int16_t>(DecodeU16(index.data() + kArchiveHeaderYear));
  }

  std::lock_guard lock(entry->mutex);
  entry->name = name;
  entry->pool = std::move(pool);
  entry->records = std::move(records);
  entry->index = std::move(index);
  entry->kind = kind;
  entry->header_length = header_length;
  entry->year = header_year;
  // The rows pointed into the old index; the rebuild that follows a load
  // lists the new one.
  entry->archive_rows.clear();
  entry->active = true;
}

bool ReadArchivePollSizes(const ArchiveEntry& entry, ArchivePollSizes* out) {
  std::lock_guard lock(entry.mutex);
  if (!entry.active) return false;
  out->name = entry.name;
  out->pool_size = entry.pool.size();
  out->records_size = entry.records.size();
  out->index_size = entry.index.size();
  return true;
}

}  // namespace korvel
