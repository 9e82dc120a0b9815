// Small helpers every part of the GStreamer backend uses.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>

#include <QSize>

namespace korvel {

// Initialises GStreamer once per process; any thread; later calls do nothing.
void EnsureGstreamer();

// A bus message carried from a streaming thread to the GUI thread; the last
// holder drops the reference.
using GstMessagePtr = std::shared_ptr<GstMessage>;
inline GstMessagePtr TakeMessage(GstMessage* owned) {
  return GstMessagePtr(owned, [](GstMessage* m) { gst_message_unref(m); });
}

// Makes an element of `factory`; null (and a warning on stderr) when the
// plugin is missing.
GstElement* MakeElement(const char* factory, const char* name = nullptr);

// The raw frames the widget paints: BGRx at `size` (even, at least 16x16),
// square pixels, so the scaler letterboxes a picture of another shape.
GstCaps* NewFrameCaps(QSize size);
QSize FrameSizeFor(QSize widget_size);

// "GstPipeline:pipeline0/GstRTSPSrc:rtspsrc0: Could not open..." for a log.
std::string DescribeMessage(GstMessage* message);

}  // namespace korvel
