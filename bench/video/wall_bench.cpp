// video_wall_bench: a wall of GStreamer players on live streams, for the CPU
// and memory figures of bench/video/run_wall_bench.py. Not a test.
//
//   video_wall_bench [--seconds N] [--record DIR] [--tile WxH] URL...
//
// Lays the players out 4 across in one window (offscreen unless
// QT_QPA_PLATFORM says otherwise), previews or records every URL, and after
// N seconds prints one line: "players=<n> painted_fps=<frames painted per
// second, all players> started=<players that started>".
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <vector>

#include "video/gst/gst_video_player.h"

namespace {

class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++painted;
    return QObject::eventFilter(watched, event);
  }
  long painted = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  double seconds = 60;
  QString record_dir;
  int tile_w = 480;
  int tile_h = 270;
  QStringList urls;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--seconds" && i + 1 < args.size()) {
      seconds = args[++i].toDouble();
    } else if (args[i] == "--record" && i + 1 < args.size()) {
      record_dir = args[++i];
    } else if (args[i] == "--tile" && i + 1 < args.size()) {
      const QStringList wh = args[++i].split('x');
      tile_w = wh.value(0).toInt();
      tile_h = wh.value(1).toInt();
    } else {
      urls << args[i];
    }
  }
  if (urls.isEmpty() || tile_w < 16 || tile_h < 16) {
    std::fprintf(stderr, "usage: video_wall_bench [--seconds N] [--record DIR] [--tile WxH] URL...\n");
    return 2;
  }
  QWidget wall;
  const int columns = 4;
  wall.resize(columns * tile_w, ((urls.size() + columns - 1) / columns) * tile_h);
  PaintCounter counter;
  int started = 0;
  std::vector<korvel::GstVideoPlayer*> players;
  for (int i = 0; i < urls.size(); ++i) {
    auto* player = new korvel::GstVideoPlayer(&wall);
    player->setObjectName(QString("v%1").arg(i));
    player->setGeometry((i % columns) * tile_w, (i / columns) * tile_h, tile_w, tile_h);
    player->installEventFilter(&counter);
    QObject::connect(player, &korvel::VideoPlayer::previewStarted, [&] { ++started; });
    QObject::connect(player, &korvel::VideoPlayer::recordingStarted, [&] { ++started; });
    players.push_back(player);
  }
  wall.show();
  for (int i = 0; i < urls.size(); ++i) {
    players[i]->OpenLive(urls[i]);
    if (record_dir.isEmpty()) {
      players[i]->StartPreview();
    } else {
      players[i]->StartRecording(QString("%1/cam%2.mp4").arg(record_dir).arg(i));
    }
  }
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer::singleShot(static_cast<int>(seconds * 1000), [&] {
    const double s = elapsed.elapsed() / 1000.0;
    for (auto* player : players) player->Stop();
    std::printf("players=%d painted_fps=%.1f started=%d\n", static_cast<int>(players.size()), counter.painted / s,
                started);
    std::fflush(stdout);
    app.quit();
  });
  return app.exec();
}
