// FrameSlot: the newest decoded frame of a player, handed from the appsink's
// streaming thread to the GUI thread that paints it.
//
// Threads: Put() is called on a streaming thread, Take() and Clear() on the
// GUI thread; the slot is guarded by its own mutex. The image shares the
// GStreamer buffer's memory (no copy) and keeps the buffer alive.
#pragma once

#include <gst/gst.h>

#include <mutex>

#include <QImage>

namespace korvel {

class FrameSlot {
 public:
  // Stores the sample's BGRx frame as the newest one. Returns false when the
  // sample holds no usable frame.
  bool Put(GstSample* sample);
  QImage Take() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  QImage latest_;  // guarded by mutex_
};

}  // namespace korvel
