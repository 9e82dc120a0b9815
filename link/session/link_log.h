// The link's diagnostic log `data.log`.
//
// One line per call: the date-time in the default rendering ("dd.MM.yyyy
// HH:mm:ss", the time left out at exactly midnight), " - ", the text, CR LF.
// The file is Windows-1251; texts given here are already Windows-1251 bytes.
// It is opened for appending (created when missing) and closed after each
// line; any input/output failure is ignored.
//
// Texts that come from a peer (table names, record indexes the server sent)
// are passed through ReplaceControlBytes before they reach a line, so a peer
// cannot forge lines; and the file is rotated past a size ceiling (the full
// file becomes `data.log.1`, replacing an older one), so a peer that makes
// the link log without end cannot fill the disk.
//
// Threads: the link writes it on the main thread (WriteLinkLog hands the
// line over); LinkLogFile itself serialises its callers with a mutex, so
// tests may call it from anywhere.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace korvel {

// Fixed texts of the link's log lines, UTF-8 in the source; LinkLogText
// converts them to Windows-1251.
inline constexpr std::string_view kLogSendFailedQueued = "Ошибка Записи 2";
inline constexpr std::string_view kLogSendFailedPoll = "Ошибка Записи 3";
inline constexpr std::string_view kLogReceiveFailed = "Ошибка чтения 0";
inline constexpr std::string_view kLogNetworkErrors = " Ошибки по сети";
inline constexpr std::string_view kLogNot255 = "not 255";

// A fixed UTF-8 text as Windows-1251 bytes.
std::string LinkLogText(std::string_view utf8);

// The line written for `text` at `now`: "<date-time> - <text>\r\n".
std::string FormatLinkLogLine(DateTime now, std::string_view text);

class LinkLogFile {
 public:
  // Default ceiling: 8 MiB before the file is rotated.
  static constexpr int64_t kDefaultMaxBytes = 8 * 1024 * 1024;

  explicit LinkLogFile(std::string path, int64_t max_bytes = kDefaultMaxBytes)
      : path_(std::move(path)), max_bytes_(max_bytes) {}

  const std::string& path() const { return path_; }

  // Appends one line for `text` at `now`. When the file would grow past the
  // ceiling it is first renamed to path + ".1". Failures are ignored.
  void Append(std::string_view text, DateTime now);
  void Append(std::string_view text) { Append(text, NowDateTime()); }

 private:
  std::string path_;
  int64_t max_bytes_;
  std::mutex mu_;
};

}  // namespace korvel
