#include "msgserver/camera_event_reader.h"

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel::msgserver {

bool ReadCameraEvent(std::string_view payload, CameraEventRecord* out) {
  if (payload.size() < kCameraEventRecordSize) return false;
  ByteReader in(payload.substr(0, kCameraEventRecordSize));
  // The size check above makes every read below fit.
  return GetNameSlot(in, 30, &out->archive) && in.GetU8(&out->operation) &&
         in.GetF64(&out->event_time) && in.GetU16(&out->event_type) &&
         in.GetI32(&out->object_number) && GetNameSlot(in, 255, &out->object_name) &&
         GetNameSlot(in, 128, &out->spare_text) && GetNameSlot(in, 255, &out->event_text) &&
         GetNameSlot(in, 255, &out->camera_name) && GetNameSlot(in, 255, &out->camera_url) &&
         GetNameSlot(in, 255, &out->recording_file) && in.GetI32(&out->workstation) &&
         in.GetU8(&out->flag) && in.GetU8(&out->listed) && in.empty();
}

}  // namespace korvel::msgserver
