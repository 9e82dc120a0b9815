// Loading the year archive files into the archive entry.
#include <algorithm>
#include <cstdio>

#include "platform/byte_io.h"
#include "platform/file_io.h"
#include "video/archive/archive_entry.h"

namespace korvel {
namespace {

// The bytes of a regular file, not through a symbolic link, of at most
// kArchiveFileCeiling bytes; empty otherwise.
std::string ReadArchiveFile(const std::string& path) {
  std::string bytes;
  if (!ReadRegularFile(path, kArchiveFileCeiling, &bytes)) return {};
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
  if (const size_t size = ArchivePeriodHeaderSize(kind, index.size()); size != 0) {
    header_length = static_cast<uint8_t>(size);
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
