// Small year archives for the archive tests, written with ArchiveWriter.
#pragma once

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "video/archive/archive_entry.h"
#include "video/archive/archive_writer.h"

namespace korvel::archive_test {

// A listed "closed" event of a recording camera; texts given in UTF-8.
inline ArchiveEventFields Closed(int month, int day, int hour, int minute, int second,
                                 const std::string& object, const std::string& camera,
                                 int32_t workstation, const std::string& path) {
  ArchiveEventFields e;
  e.month = static_cast<uint8_t>(month);
  e.day = static_cast<uint8_t>(day);
  e.hour = static_cast<uint8_t>(hour);
  e.minute = static_cast<uint8_t>(minute);
  e.second = static_cast<uint8_t>(second);
  e.object = Utf8ToCp1251(object);
  e.camera = Utf8ToCp1251(camera);
  e.workstation = workstation;
  e.recording_path = Utf8ToCp1251(path);
  e.event_text = Utf8ToCp1251("Просмотр и запись камеры закончены");
  e.listed = 1;
  return e;
}

// Moves the writer's files into the entry as a load would.
inline void Fill(const ArchiveWriter& w, ArchiveEntry* entry) {
  entry->index = w.index();
  entry->records = w.records();
  entry->pool = w.pool();
  entry->kind = entry->index.empty() ? 0 : static_cast<uint8_t>(entry->index[0]);
  entry->header_length = 3;
  entry->active = true;
}

inline ArchiveFilter Filter(const std::string& t1_utf8, const std::string& t2_utf8, bool and_mode,
                            int32_t place = 1) {
  ArchiveFilter f;
  f.text1 = Utf8ToCp1251(t1_utf8);
  f.text2 = Utf8ToCp1251(t2_utf8);
  f.and_mode = and_mode;
  f.video_place = place;
  return f;
}

inline std::vector<uint32_t> Rows(const ArchiveFilter& filter, ArchiveEntry* entry) {
  RebuildArchiveRows(filter, entry);
  return entry->archive_rows;
}

}  // namespace korvel::archive_test
