#include "video/wall/camera_event.h"

#include <cstdio>

#include "platform/byte_io.h"
#include "platform/codepage.h"
#include "platform/counted_text.h"
#include "platform/tick.h"
#include "video/wall/camera_event_format.h"

namespace korvel {

namespace ce = camera_event;

std::string CameraEventText(CameraEventKind kind, bool recording) {
  std::string_view utf8;
  switch (kind) {
    case CameraEventKind::kPreviewStarted:
    case CameraEventKind::kRecordingStarted:
    case CameraEventKind::kReconnected:
      utf8 = recording ? "Просмотр и запись камеры запущен" : "Просмотр камеры запущен";
      break;
    case CameraEventKind::kLost:
      utf8 = "Потеря связи с камерой";
      break;
    case CameraEventKind::kClosed:
      utf8 = recording ? "Просмотр и запись камеры закончены" : "Просмотр камеры закончен";
      break;
  }
  return Utf8ToCp1251(utf8);
}

bool CameraEventCarriesFile(CameraEventKind kind) {
  return kind == CameraEventKind::kLost || kind == CameraEventKind::kClosed;
}

std::string BuildCameraEventRecord(const CameraEventFields& f) {
  std::string out;
  out.reserve(ce::kRecordSize);
  PutNameSlot(&out, f.archive_name, ce::kArchiveNameCapacity);
  PutU8(&out, f.operation);
  PutF64(&out, f.event_time);
  PutU16(&out, ce::kEventType);
  PutI32(&out, f.n_obj);
  PutNameSlot(&out, f.nameobj, ce::kTextCapacity);
  PutNameSlot(&out, "", ce::kSpareTextCapacity);
  PutNameSlot(&out, f.event_text, ce::kTextCapacity);
  PutNameSlot(&out, f.name, ce::kTextCapacity);
  PutNameSlot(&out, f.url, ce::kTextCapacity);
  PutNameSlot(&out, f.recording_file, ce::kTextCapacity);
  PutI32(&out, f.workstation);
  PutU8(&out, 0);
  PutU8(&out, f.listed ? 1 : 0);
  return out;
}

std::vector<std::string> BuildCameraEventRecords(const TileRecord& tile, CameraEventKind kind,
                                                 DateTime event_time, int32_t video_place,
                                                 bool second_year_archive) {
  CalendarFields when;
  if (!DecodeDateTime(event_time, &when)) return {};
  char year[8];
  char day[16];
  std::snprintf(year, sizeof year, "%04d", when.year);
  std::snprintf(day, sizeof day, "%04d%02d%02d", when.year, when.month, when.day);

  CameraEventFields f;
  f.archive_name = std::string("vi8_") + year;
  f.operation = ce::kOperationYear;
  f.event_time = event_time;
  f.n_obj = tile.n_obj;
  f.nameobj = tile.nameobj;
  f.event_text = CameraEventText(kind, tile.recording);
  f.name = tile.name;
  f.url = tile.url;
  if (CameraEventCarriesFile(kind)) f.recording_file = tile.recording_file;
  f.workstation = video_place;
  f.listed = kind == CameraEventKind::kClosed;

  std::vector<std::string> records;
  records.push_back(BuildCameraEventRecord(f));
  if (second_year_archive) {
    f.archive_name = std::string("si8_") + year;
    records.push_back(BuildCameraEventRecord(f));
  }
  f.archive_name = std::string("sk8_") + day;
  f.operation = ce::kOperationDay;
  records.push_back(BuildCameraEventRecord(f));
  return records;
}

bool SecondYearArchiveOn(std::string_view settings_block) {
  if (settings_block.size() <= ce::kSecondYearArchiveByte) return false;
  return FlagBit(static_cast<uint8_t>(settings_block[ce::kSecondYearArchiveByte]),
                 ce::kSecondYearArchiveBit);
}

void SendCameraEvent(CameraEventSink& sink, const TileRecord& tile, CameraEventKind kind,
                     int32_t video_place, DateTime local_now) {
  const DateTime event_time = local_now - sink.ServerClockOffset();
  for (const std::string& record :
       BuildCameraEventRecords(tile, kind, event_time, video_place, sink.SecondYearArchive())) {
    sink.PostCameraEvent(record);
  }
  sink.AdvancePoll();
}

}  // namespace korvel
