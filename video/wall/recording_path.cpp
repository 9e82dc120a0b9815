#include "video/wall/recording_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace korvel {

std::string StorageFolderPrefix(std::string_view storage_path_utf8) {
  std::string prefix(storage_path_utf8);
  for (char& ch : prefix) {
    if (ch == '\\') ch = '/';
  }
  if (!prefix.empty() && prefix.back() != '/') prefix.push_back('/');
  return prefix;
}

std::string DayFolderPath(std::string_view prefix, int year, int month, int day) {
  return std::string(prefix) + std::to_string(year) + "/" + std::to_string(month) + "/" +
         std::to_string(day);
}

namespace {
bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
void MakeFolder(const std::string& path) {
  if (path.empty() || IsDirectory(path)) return;
  ::mkdir(path.c_str(), 0775);  // a failure shows when the recording starts
}
}  // namespace

bool CreateDayFolders(std::string_view prefix, int year, int month, int day) {
  std::string path(prefix);
  if (!path.empty()) {
    // The storage folder itself may be several levels deep below a folder
    // that exists ("storage/" of a fresh working folder, or a new disk).
    std::error_code ignored;
    std::filesystem::create_directories(path, ignored);
  }
  path += std::to_string(year);
  MakeFolder(path);
  path += "/" + std::to_string(month);
  MakeFolder(path);
  path += "/" + std::to_string(day);
  MakeFolder(path);
  return IsDirectory(path);
}

std::string RecordingBaseName(std::string_view nameobj, std::string_view name,
                              std::string_view long_time) {
  std::string base;
  base.reserve(nameobj.size() + name.size() + long_time.size() + 2);
  base.append(nameobj).append("-").append(name).append("-").append(long_time);
  for (char& ch : base) {
    const auto b = static_cast<unsigned char>(ch);
    switch (ch) {
      case ':':
      case '\\':
      case '/':
      case '?':
      case '*':
      case '"':
      case '>':
      case '<':
      case '|':
        ch = '-';
        break;
      default:
        if (b < 0x20 || b == 0x7F) ch = '-';
    }
  }
  return base;
}

std::string CutUtf8(std::string_view text, size_t max_bytes) {
  if (text.size() <= max_bytes) return std::string(text);
  size_t end = max_bytes;
  // Step back over continuation bytes (10xxxxxx) to a character start.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

std::string UniqueRecordingPath(std::string_view day_folder, std::string_view base_name,
                                const std::function<bool(const std::string&)>& taken) {
  static constexpr std::string_view kExtension = ".mp4";
  std::string candidate;
  for (int n = 1; n <= 9999; ++n) {
    const std::string suffix = n == 1 ? std::string() : "-" + std::to_string(n);
    const size_t room = kMaxRecordingFileNameBytes - kExtension.size() - suffix.size();
    candidate = std::string(day_folder) + "/" + CutUtf8(base_name, room) + suffix +
                std::string(kExtension);
    if (!taken(candidate)) break;
  }
  return candidate;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

}  // namespace korvel
