#include "video/gst/gst_support.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace korvel {

void EnsureGstreamer() {
  static std::once_flag once;
  std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

GstElement* MakeElement(const char* factory, const char* name) {
  GstElement* element = gst_element_factory_make(factory, name);
  if (element == nullptr) std::fprintf(stderr, "video: GStreamer element %s is missing\n", factory);
  return element;
}

QSize FrameSizeFor(QSize widget_size) {
  // Even sizes keep every scaler and converter happy; the floor keeps a
  // hidden or collapsed tile from asking for a zero-sized frame.
  const int width = std::clamp(widget_size.width(), 16, 4096) & ~1;
  const int height = std::clamp(widget_size.height(), 16, 4096) & ~1;
  return {width, height};
}

GstCaps* NewFrameCaps(QSize size) {
  const QSize frame = FrameSizeFor(size);
  return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                             frame.width(), "height", G_TYPE_INT, frame.height(), "pixel-aspect-ratio",
                             GST_TYPE_FRACTION, 1, 1, nullptr);
}

std::string DescribeMessage(GstMessage* message) {
  GError* error = nullptr;
  gchar* debug = nullptr;
  if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
    gst_message_parse_error(message, &error, &debug);
  } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING) {
    gst_message_parse_warning(message, &error, &debug);
  }
  std::string text = GST_MESSAGE_SRC_NAME(message) != nullptr ? GST_MESSAGE_SRC_NAME(message) : "?";
  if (error != nullptr) text += std::string(": ") + error->message;
  g_clear_error(&error);
  g_free(debug);
  return text;
}

}  // namespace korvel
