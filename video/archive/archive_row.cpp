// One grid row of the archive list, read straight from the entry's arrays.
#include <sys/stat.h>

#include <cstdio>

#include "platform/byte_io.h"
#include "platform/codepage.h"
#include "video/archive/archive_entry.h"

namespace korvel {
namespace {

// " АРМ №" in Windows-1251.
constexpr std::string_view kWorkstationSuffix = " \xC0\xD0\xCC \xB9";

// The index position of grid row `row`, when the row is listed and its
// whole 7-byte entry, starting with its marker, lies in the index.
bool RowEntryPosition(const ArchiveEntry& entry, int row, size_t* at) {
  if (row < 1 || entry.archive_rows.empty() || entry.index.empty()) return false;
  if (static_cast<size_t>(row) > entry.archive_rows.size()) return false;
  const size_t pos = entry.archive_rows[static_cast<size_t>(row) - 1];
  if (pos >= entry.index.size() || entry.index.size() - pos < kArchiveEntrySize) return false;
  if (static_cast<uint8_t>(entry.index[pos]) != kArchiveEntryMarker) return false;
  *at = pos;
  return true;
}

}  // namespace

std::string_view ArchivePoolText(std::string_view pool, int64_t offset) {
  if (offset < 0 || static_cast<uint64_t>(offset) >= pool.size()) return {};
  const auto at = static_cast<size_t>(offset);
  const size_t length = static_cast<uint8_t>(pool[at]);
  const size_t available = pool.size() - at - 1;
  return pool.substr(at + 1, length < available ? length : available);
}

bool ReadArchiveRow(const ArchiveEntry& entry, int row, ArchiveRowView* out) {
  size_t at = 0;
  if (!RowEntryPosition(entry, row, &at)) return false;
  const char* e = entry.index.data() + at;
  if (DecodeU16(e + kArchiveEntryType) != kCameraEventType) return false;
  const int32_t offset = DecodeI32(e + kArchiveEntryOffset);
  if (offset < 0 || static_cast<size_t>(offset) > entry.records.size() ||
      entry.records.size() - static_cast<size_t>(offset) < kArchiveEventSize) {
    return false;
  }
  const auto* prefix = reinterpret_cast<const uint8_t*>(entry.records.data()) + offset;
  const uint8_t* r = prefix + kArchiveTimePrefixSize;
  out->month = prefix[kArchivePrefixMonth];
  out->day = prefix[kArchivePrefixDay];
  out->hour = prefix[kArchivePrefixHour];
  out->minute = prefix[kArchivePrefixMinute];
  out->second = prefix[kArchivePrefixSecond];
  out->object = ArchivePoolText(entry.pool, DecodeI32(r + kCompactObjectText));
  out->camera = ArchivePoolText(entry.pool, DecodeI32(r + kCompactCameraText));
  out->recording_path = ArchivePoolText(entry.pool, DecodeI32(r + kCompactRecordingText));
  out->workstation = DecodeI32(r + kCompactWorkstation);
  out->show_workstation = r[kCompactFlag] == 0;
  return true;
}

std::string ArchiveRowTimeText(const ArchiveRowView& row) {
  // Each byte printed with at least two digits; a damaged prefix (a byte
  // above 99) prints in full rather than being cut.
  char text[32];
  std::snprintf(text, sizeof text, "%02u.%02u %02u:%02u:%02u", unsigned{row.day},
                unsigned{row.month}, unsigned{row.hour}, unsigned{row.minute},
                unsigned{row.second});
  return text;
}

std::string ArchiveRowCameraText(const ArchiveRowView& row) {
  std::string text(row.camera);
  if (row.show_workstation) {
    text += kWorkstationSuffix;
    text += std::to_string(row.workstation);
  }
  return text;
}

std::string_view ArchiveColumnTitle(int column) {
  switch (column) {
    case 0:
      return "Дата время";
    case 1:
      return "Объект";
    case 2:
      return "Камера";
    default:
      return {};
  }
}

std::string LocalRecordingFile(std::string_view recording_path_cp1251, std::string_view base_dir) {
  if (recording_path_cp1251.empty()) return {};
  if (recording_path_cp1251.find('\0') != std::string_view::npos) return {};
  std::string path = Cp1251ToUtf8(recording_path_cp1251);
  if (path.find("://") != std::string::npos) return {};  // a URL, not a file
  if (path.front() != '/') {
    std::string dir(base_dir.empty() ? std::string_view("./") : base_dir);
    if (dir.back() != '/') dir.push_back('/');
    path = dir + path;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return path;
}

PlayButtonState SelectArchiveRow(const ArchiveEntry& entry, int row, std::string_view base_dir) {
  size_t at = 0;
  if (!RowEntryPosition(entry, row, &at)) return PlayButtonState::kDisabled;
  if (DecodeU16(entry.index.data() + at + kArchiveEntryType) != kCameraEventType) {
    return PlayButtonState::kKeep;
  }
  ArchiveRowView view;
  if (!ReadArchiveRow(entry, row, &view)) return PlayButtonState::kDisabled;
  return LocalRecordingFile(view.recording_path, base_dir).empty() ? PlayButtonState::kDisabled
                                                                   : PlayButtonState::kEnabled;
}

}  // namespace korvel
