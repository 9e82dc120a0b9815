#include "link/session/link_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/codepage.h"

namespace korvel {

std::string LinkLogText(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::string FormatLinkLogLine(DateTime now, std::string_view text) {
  std::string line = FormatDateTimeDefault(now);
  line += " - ";
  line += text;
  line += "\r\n";
  return line;
}

void LinkLogFile::Append(std::string_view text, DateTime now) {
  const std::string line = FormatLinkLogLine(now, text);
  std::lock_guard<std::mutex> lock(mu_);
  struct stat st {};
  if (::lstat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size + static_cast<int64_t>(line.size()) > max_bytes_) {
    const std::string old = path_ + ".1";
    std::rename(path_.c_str(), old.c_str());  // failure ignored: keep appending
  }
  // O_NOFOLLOW: a link planted in place of the log is not followed.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace korvel
