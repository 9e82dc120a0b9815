#include "tests/video/video_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace korvel::test {

namespace {

// Runs a tool to its end and says why when it did not end well. The limit only
// keeps a hung tool from hanging the suite; a loaded machine must stay well
// inside it.
constexpr int kToolLimitMs = 120000;
// How long fakecam may take to print a line or answer a command.
constexpr int kReplyLimitMs = 30000;

bool RunTool(QProcess& process, const QString& program, const QStringList& args, bool any_exit = false) {
  QElapsedTimer timer;
  timer.start();
  process.start(program, args);
  const bool finished = process.waitForFinished(kToolLimitMs);
  if (finished && process.exitStatus() == QProcess::NormalExit && (any_exit || process.exitCode() == 0)) return true;
  if (!finished) {
    process.kill();
    process.waitForFinished(5000);
  }
  std::fprintf(stderr, "%s %s: %s after %lld ms (%s, exit status %s, code %d)\n%s\n", qPrintable(program),
               qPrintable(args.join(' ')), finished ? "ended badly" : "did not finish",
               static_cast<long long>(timer.elapsed()), qPrintable(process.errorString()),
               process.exitStatus() == QProcess::NormalExit ? "normal" : "crash", process.exitCode(),
               process.readAllStandardError().constData());
  return false;
}

}  // namespace

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool WaitUntil(const std::function<bool()>& done, int limit_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return true;
}

void Spin(int ms) {
  WaitUntil([] { return false; }, ms);
}

Fakecam::Fakecam(int cameras, const QStringList& extra_args) {
  QStringList args = {"--size", "320x240", "--fps", "25"};
  args += extra_args;
  for (int i = 0; i < cameras; ++i) args << QString("cam%1=%2").arg(i).arg(FreePort());
  process_.setProgram(KORVEL_FAKECAM_PATH);
  process_.setArguments(args);
  process_.setProcessChannelMode(QProcess::SeparateChannels);
  process_.start();
  if (!process_.waitForStarted(kToolLimitMs)) return;
  QString pending;
  while (process_.waitForReadyRead(kReplyLimitMs)) {
    pending += QString::fromUtf8(process_.readAllStandardOutput());
    while (pending.contains('\n')) {
      const int end = pending.indexOf('\n');
      const QString line = pending.left(end);
      pending.remove(0, end + 1);
      const QStringList words = line.split(' ');
      if (words.value(0) == "camera") urls_.push_back(words.value(2));
      if (words.value(0) == "mjpeg") mjpeg_url_ = words.value(2);
      if (line == "ready") {
        ready_ = true;
        return;
      }
    }
  }
}

Fakecam::~Fakecam() {
  if (process_.state() != QProcess::NotRunning) {
    ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);  // in case a test froze it
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
      process_.kill();
      process_.waitForFinished(3000);
    }
  }
}

QString Fakecam::Url(int camera) const {
  return camera < static_cast<int>(urls_.size()) ? urls_[camera] : QString();
}

bool Fakecam::Command(const QString& line) {
  process_.readAllStandardOutput();
  process_.write((line + "\n").toUtf8());
  QString reply;
  while (process_.waitForReadyRead(kReplyLimitMs)) {
    reply += QString::fromUtf8(process_.readAllStandardOutput());
    if (reply.contains("ok\n")) return true;
    if (reply.contains("error")) return false;
  }
  return false;
}

pid_t Fakecam::Pid() const { return static_cast<pid_t>(process_.processId()); }

ProbeResult Probe(const QString& file) {
  ProbeResult result;
  QProcess probe;
  if (!RunTool(probe, "ffprobe",
               {"-v", "error", "-select_streams", "v:0", "-show_entries",
                "stream=codec_name,profile,width,height,nb_frames:format=duration", "-of",
                "default=noprint_wrappers=1", file})) {
    return result;
  }
  for (const QString& line : QString::fromUtf8(probe.readAllStandardOutput()).split('\n')) {
    const int eq = line.indexOf('=');
    if (eq <= 0) continue;
    const std::string key = line.left(eq).toStdString();
    const QString value = line.mid(eq + 1).trimmed();
    if (key == "duration") {
      result.duration_s = value.toDouble();
    } else {
      result.stream[key] = value.toStdString();
    }
  }
  result.ok = !result.stream.empty();
  return result;
}

bool DecodesCleanly(const QString& file) {
  QProcess ffmpeg;
  // Frames are passed through as stamped: a live stream's jitter is no decoding
  // error.
  if (!RunTool(ffmpeg, "ffmpeg",
               {"-nostdin", "-v", "error", "-xerror", "-i", file, "-fps_mode", "passthrough", "-f", "null", "-"},
               /*any_exit=*/true)) {
    return false;
  }
  // The null output re-stamps frames in units of the nominal frame rate,
  // where two frames of a jittery live stream may meet; that is no fault of
  // the file (DtsIncrease checks the file's own stamps).
  QByteArray errors;
  for (const QByteArray& line : ffmpeg.readAllStandardError().split('\n')) {
    if (line.trimmed().isEmpty() || line.contains("non monotonically increasing dts") ||
        line.contains("Last message repeated")) {
      continue;
    }
    errors += line + '\n';
  }
  if (ffmpeg.exitCode() == 0 && errors.isEmpty()) return true;
  std::fprintf(stderr, "ffmpeg on %s: exit %d\n%s\n", qPrintable(file), ffmpeg.exitCode(), errors.constData());
  return false;
}

}  // namespace korvel::test

namespace korvel::test {

bool DtsIncrease(const QString& file) {
  QProcess probe;
  if (!RunTool(probe, "ffprobe",
               {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=dts", "-of", "csv=p=0", file})) {
    return false;
  }
  qint64 last = -1;
  int packets = 0;
  for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    bool ok = false;
    const qint64 dts = line.trimmed().toLongLong(&ok);
    if (!ok || dts <= last) {
      std::fprintf(stderr, "%s: packet %d has dts %s after %lld\n", qPrintable(file), packets,
                   line.constData(), static_cast<long long>(last));
      return false;
    }
    last = dts;
    ++packets;
  }
  return packets > 0;
}

double MediaEndS(const QString& file) {
  QProcess probe;
  if (!RunTool(probe, "ffprobe",
               {"-v", "error", "-select_streams", "v:0", "-show_entries", "packet=pts_time,duration_time", "-of",
                "csv=p=0", file})) {
    return -1;
  }
  double end = -1;
  for (const QByteArray& line : probe.readAllStandardOutput().split('\n')) {
    const QList<QByteArray> fields = line.trimmed().split(',');
    bool ok = false;
    const double pts = fields.value(0).toDouble(&ok);
    if (!ok) continue;
    end = std::max(end, pts + fields.value(1).toDouble());
  }
  return end;
}

}  // namespace korvel::test
