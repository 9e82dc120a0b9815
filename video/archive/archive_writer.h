// Writes a year archive (the three files of archive_format.h) in memory, as
// the message server builds it: a period header of kind 1, then per event a
// 7-byte index entry, a time prefix and compact record in the record file,
// and its texts in the string pool (offset 0 holds the empty text; a text
// already in the pool is reused). The files only grow, so a copy taken
// earlier is always a prefix of a later one.
//
// Used by tests, benchmarks and fuzz seeds, and usable by a server that
// keeps year archives. Not thread-safe; one writer per archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "video/archive/archive_format.h"

namespace korvel {

// One event of the year archive. Texts are Windows-1251 bytes, cut to 255.
struct ArchiveEventFields {
  uint8_t month = 1, day = 1, hour = 0, minute = 0, second = 0;
  uint16_t type = kCameraEventType;
  int32_t object_number = 0;
  std::string object;          // object name ("Объект" column)
  std::string event_text;      // e.g. "Просмотр и запись камеры закончены"
  std::string camera_url;
  std::string camera;          // camera name ("Камера" column)
  uint8_t operation = 1;
  int32_t workstation = 0;     // 0: any workstation
  std::string recording_path;  // empty when the tile was not recording
  uint8_t flag = 0;            // 0: show the workstation after the camera
  uint8_t listed = 1;          // 1: listed in the archive view
};

class ArchiveWriter {
 public:
  // Starts the three files: the index with its 3-byte header for `year`,
  // the pool with the empty text at offset 0, the record file empty.
  explicit ArchiveWriter(uint16_t year);

  // Appends one event; returns the position of its index entry.
  size_t Append(const ArchiveEventFields& event);

  // Offset of `text` (cut to 255 bytes) in the pool, adding it when new.
  int32_t PoolOffset(std::string_view text);

  // Appends raw bytes to a file, for fixtures that need damaged content.
  std::string& index() { return index_; }
  std::string& records() { return records_; }
  std::string& pool() { return pool_; }
  const std::string& index() const { return index_; }
  const std::string& records() const { return records_; }
  const std::string& pool() const { return pool_; }

  // Writes the three files as `<dir>/<name>.fm8`, `.fp8`, `.fz8` (dir with
  // or without a trailing '/'), replacing them. False when a file cannot be
  // written.
  bool WriteFiles(std::string_view dir, std::string_view name) const;

 private:
  std::string index_;
  std::string records_;
  std::string pool_;
  std::unordered_map<std::string, int32_t> pool_offsets_;
};

}  // namespace korvel
