// fakecam over loopback, read with plain GStreamer: frames arrive, the stream
// ends when the camera is stopped and comes back when it is started, and a
// refusing camera's port refuses connections.
#include <arpa/inet.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QUrl>

#include "tests/video/video_test_support.h"
#include "video/gst/gobject_ref.h"
#include "video/gst/gst_support.h"

namespace korvel {
namespace {

using test::Fakecam;

// rtspsrc -> depay -> decode -> appsink, the address set as a property.
class Reader {
 public:
  explicit Reader(const QString& url) {
    EnsureGstreamer();
    pipeline_.Reset(GST_ELEMENT(gst_object_ref_sink(gst_parse_launch(
        "rtspsrc name=src protocols=tcp latency=100 ! rtph264depay ! avdec_h264 ! "
        "appsink name=sink sync=false max-buffers=4 drop=true",
        nullptr))));
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "src");
    g_object_set(src, "location", url.toUtf8().constData(), nullptr);
    gst_object_unref(src);
    sink_ = gst_bin_get_by_name(GST_BIN(pipeline_.get()), "sink");
    gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
  }
  ~Reader() {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    gst_object_unref(sink_);
  }
  // Pulls frames until `count` arrived; false when the stream ends first or
  // nothing comes for 20 s (a bound for a loaded machine, not a speed).
  bool Frames(int count) {
    for (int i = 0; i < count; ++i) {
      GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 20 * GST_SECOND);
      if (sample == nullptr) return false;
      gst_sample_unref(sample);
    }
    return true;
  }
  // True when the stream has ended (end of stream or an error) within 30 s.
  // Frames still queued are taken first: the sink holds the end of stream
  // back until they are.
  bool Ends() {
    GstBus* bus = gst_element_get_bus(pipeline_.get());
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
      if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 100 * GST_MSECOND)) {
        gst_sample_unref(sample);
      }
      ended = gst_app_sink_is_eos(GST_APP_SINK(sink_));
      if (GstMessage* error = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        gst_message_unref(error);
        ended = true;
      }
    }
    gst_object_unref(bus);
    return ended;
  }

 private:
  GObjectRef<GstElement> pipeline_;
  GstElement* sink_ = nullptr;
};

bool PortAccepts(const QString& url) {
  const QUrl parsed(url);
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(parsed.port()));
  ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

TEST(FakecamTest, StreamEndsWhenStoppedAndComesBackWhenStarted) {
  Fakecam cams(2);
  ASSERT_TRUE(cams.Ready());
  Reader first(cams.Url(0));
  ASSERT_TRUE(first.Frames(10));
  Reader other(cams.Url(1));
  ASSERT_TRUE(other.Frames(5));

  ASSERT_TRUE(cams.Command("stop cam0"));
  EXPECT_TRUE(first.Ends());
  EXPECT_TRUE(other.Frames(5)) << "stopping one camera leaves the others running";
  EXPECT_TRUE(PortAccepts(cams.Url(0))) << "a stopped camera's port stays open";

  ASSERT_TRUE(cams.Command("start cam0"));
  Reader again(cams.Url(0));
  EXPECT_TRUE(again.Frames(10));
}

TEST(FakecamTest, RefusingCameraClosesItsPortUntilStarted) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  EXPECT_TRUE(PortAccepts(cams.Url(0)));
  ASSERT_TRUE(cams.Command("refuse cam0"));
  EXPECT_FALSE(PortAccepts(cams.Url(0)));
  ASSERT_TRUE(cams.Command("start cam0"));
  EXPECT_TRUE(PortAccepts(cams.Url(0)));
  Reader reader(cams.Url(0));
  EXPECT_TRUE(reader.Frames(5));
}

TEST(FakecamTest, UnknownCameraAndCommandAreErrors) {
  Fakecam cams(1);
  ASSERT_TRUE(cams.Ready());
  EXPECT_FALSE(cams.Command("stop nosuch"));
  EXPECT_FALSE(cams.Command("explode cam0"));
  EXPECT_TRUE(cams.Command("list"));
}

}  // namespace
}  // namespace korvel
