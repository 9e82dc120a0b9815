// Helpers of the video tests: a fakecam process on free loopback ports, event
// waits that keep the Qt event loop turning, and ffprobe.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QProcess>
#include <QString>
#include <QStringList>

namespace korvel::test {

// A free TCP port on 127.0.0.1 (free when asked; the OS may hand it out
// again later, which a test on loopback can live with).
int FreePort();

// Turns the event loop until `done` holds or `limit_ms` passes; returns
// `done()`. The limit only keeps a broken build from hanging.
bool WaitUntil(const std::function<bool()>& done, int limit_ms);
// Turns the event loop for `ms`.
void Spin(int ms);

class Fakecam {
 public:
  // Starts fakecam with cameras "cam0".."cam<n-1>", each on a free port.
  explicit Fakecam(int cameras = 1, const QStringList& extra_args = {});
  ~Fakecam();
  bool Ready() const { return ready_; }
  QString Url(int camera = 0) const;
  QString MjpegUrl() const { return mjpeg_url_; }
  // Sends a control command ("stop cam0") and waits for its "ok".
  bool Command(const QString& line);
  pid_t Pid() const;

 private:
  QProcess process_;
  std::vector<QString> urls_;
  QString mjpeg_url_;
  bool ready_ = false;
};

// ffprobe's view of a file: entries of its "-show_entries" output
// ("codec_name", "profile", "width", "height", "duration" of the format...).
struct ProbeResult {
  bool ok = false;
  std::map<std::string, std::string> stream;
  double duration_s = 0;
};
ProbeResult Probe(const QString& file);
// True when ffmpeg decodes the whole file without an error.
bool DecodesCleanly(const QString& file);
// True when the file's video packets have strictly increasing decoding times.
bool DtsIncrease(const QString& file);
// Where the file's video packets end (the latest presentation time plus that
// packet's duration), in seconds; -1 when ffprobe cannot say. A file whose
// index states its duration right reports about this much.
double MediaEndS(const QString& file);

}  // namespace korvel::test
