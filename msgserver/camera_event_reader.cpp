#include "msgserver/camera_event_reader.h"

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel::msgserver {

bool ReadCameraEvent(std::string_view payload, CameraEventRecord* out) {
  namespace ce = camera_event;
  if (payload.size() < ce::kRecordSize) return false;
  const char* p = payload.data();
  // Every slot lies inside the 1461 bytes checked above.
  auto slot = [p](size_t offset, size_t capacity) { return DecodeSlotText(p + offset, capacity + 1); };
  out->archive = slot(ce::kArchiveNameOffset, ce::kArchiveNameCapacity);
  out->operation = static_cast<uint8_t>(p[ce::kOperationOffset]);
  out->event_time = DecodeF64(p + ce::kEventTimeOffset);
  out->event_type = DecodeU16(p + ce::kEventTypeOffset);
  out->object_number = DecodeI32(p + ce::kObjectNumberOffset);
  out->object_name = slot(ce::kObjectNameOffset, ce::kTextCapacity);
  out->spare_text = slot(ce::kSpareTextOffset, ce::kSpareTextCapacity);
  out->event_text = slot(ce::kEventTextOffset, ce::kTextCapacity);
  out->camera_name = slot(ce::kCameraNameOffset, ce::kTextCapacity);
  out->camera_url = slot(ce::kCameraUrlOffset, ce::kTextCapacity);
  out->recording_file = slot(ce::kRecordingFileOffset, ce::kTextCapacity);
  out->workstation = DecodeI32(p + ce::kWorkstationOffset);
  out->flag = static_cast<uint8_t>(p[ce::kFlagOffset]);
  out->listed = static_cast<uint8_t>(p[ce::kListedOffset]);
  return true;
}

}  // namespace korvel::msgserver
