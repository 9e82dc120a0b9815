// Building the camera event records of one tile event (layout in
// camera_event_format.h) and the messages that journal it. No Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "video/wall/tile_record.h"

namespace korvel {

enum class CameraEventKind {
  kPreviewStarted,
  kRecordingStarted,
  kLost,
  kReconnected,
  kClosed,
};

// The event text of a kind, Windows-1251 bytes, chosen by the tile's
// recording flag ("Просмотр и запись камеры запущен", "Потеря связи с
// камерой", ...).
std::string CameraEventText(CameraEventKind kind, bool recording);

// True for the kinds that carry the recording file ("lost", "closed").
bool CameraEventCarriesFile(CameraEventKind kind);

// One record, exactly 1461 bytes: every field from the arguments, texts cut
// to their slots, the unused text empty, flag 0.
struct CameraEventFields {
  std::string archive_name;
  uint8_t operation = 0;
  DateTime event_time = 0;
  int32_t n_obj = 0;
  std::string nameobj;
  std::string event_text;
  std::string name;
  std::string url;
  std::string recording_file;
  int32_t workstation = 0;
  bool listed = false;
};
std::string BuildCameraEventRecord(const CameraEventFields& fields);

// The records that journal one event, in sending order: "vi8_yyyy" (1),
// then "si8_yyyy" (1) when `second_year_archive`, then "sk8_yyyymmdd" (3).
// `event_time` is the local time minus the server clock offset; the names
// take its year, month and day. A time that does not decode (NaN, outside
// years 1..9999) gives no record at all.
std::vector<std::string> BuildCameraEventRecords(const TileRecord& tile, CameraEventKind kind,
                                                 DateTime event_time, int32_t video_place,
                                                 bool second_year_archive);

// Whether the server settings block asks for the second year archive
// (bit 5, mask 0x20, of byte 386). A block shorter than that gives false.
bool SecondYearArchiveOn(std::string_view settings_block);

// Where the records of an event go. The main window implements it with the
// link thread; tests record what is sent.
class CameraEventSink {
 public:
  virtual ~CameraEventSink() = default;
  // Local now minus the server time of the last poll reply (0 until then).
  virtual DateTime ServerClockOffset() const = 0;
  // Bit 5 of byte 386 of the server settings block, read at each event.
  virtual bool SecondYearArchive() const = 0;
  // Queues one record on the link as msgCameraEvent (dropped while the link
  // is not enabled or its queue is full).
  virtual void PostCameraEvent(std::string_view record) = 0;
  // Makes the link's next poll come early (LastSendTick := now - 300).
  virtual void AdvancePoll() = 0;
};

// SendCameraEvent: builds the records of one event of `tile` at the local
// time `local_now` and posts them, then advances the poll.
void SendCameraEvent(CameraEventSink& sink, const TileRecord& tile, CameraEventKind kind,
                     int32_t video_place, DateTime local_now);

}  // namespace korvel
