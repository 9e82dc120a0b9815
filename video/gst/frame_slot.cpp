#include "video/gst/frame_slot.h"

#include <gst/video/video.h>

namespace korvel {
namespace {

struct MappedFrame {
  GstBuffer* buffer;
  GstMapInfo map;
};

void ReleaseFrame(void* data) {
  auto* frame = static_cast<MappedFrame*>(data);
  gst_buffer_unmap(frame->buffer, &frame->map);
  gst_buffer_unref(frame->buffer);
  delete frame;
}

}  // namespace

bool FrameSlot::Put(GstSample* sample) {
  GstBuffer* buffer = gst_sample_get_buffer(sample);
  GstCaps* caps = gst_sample_get_caps(sample);
  GstVideoInfo info;
  if (buffer == nullptr || caps == nullptr || !gst_video_info_from_caps(&info, caps) ||
      GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGRx) {
    return false;
  }
  auto* frame = new MappedFrame{gst_buffer_ref(buffer), {}};
  if (!gst_buffer_map(frame->buffer, &frame->map, GST_MAP_READ)) {
    gst_buffer_unref(frame->buffer);
    delete frame;
    return false;
  }
  const int width = GST_VIDEO_INFO_WIDTH(&info);
  const int height = GST_VIDEO_INFO_HEIGHT(&info);
  const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
  if (frame->map.size < static_cast<gsize>(stride) * static_cast<gsize>(height)) {
    ReleaseFrame(frame);
    return false;
  }
  // BGRx bytes are 0xffRRGGBB words on a little-endian machine: Format_RGB32.
  QImage image(frame->map.data, width, height, stride, QImage::Format_RGB32, ReleaseFrame, frame);
  std::lock_guard lock(mutex_);
  latest_ = std::move(image);
  return true;
}

QImage FrameSlot::Take() const {
  std::lock_guard lock(mutex_);
  return latest_;
}

void FrameSlot::Clear() {
  QImage old;
  std::lock_guard lock(mutex_);
  std::swap(old, latest_);
}

}  // namespace korvel
