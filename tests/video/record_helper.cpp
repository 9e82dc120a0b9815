// video_record_helper URL FILE|- [SECONDS]: records (or, with "-", only
// shows) a live stream with the
// program's player, printing its events, one per line, to stdout:
//   "recording <file>", "preview", "log <text>", "lost".
// Without SECONDS it records until it is killed (the test of files that
// survive a killed process); with SECONDS it stops cleanly after them.
#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "video/gst/gst_video_player.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: video_record_helper URL FILE [SECONDS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  korvel::GstVideoPlayer player;
  player.resize(320, 240);
  auto say = [](const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
  };
  QObject::connect(&player, &korvel::VideoPlayer::recordingStarted, [&](const QString& f) { say("recording " + f); });
  QObject::connect(&player, &korvel::VideoPlayer::previewStarted, [&] { say("preview"); });
  QObject::connect(&player, &korvel::VideoPlayer::deviceLost, [&] { say("lost"); });
  QObject::connect(&player, &korvel::VideoPlayer::logText, [&](const QString& t) { say("log " + t); });
  player.OpenLive(QString::fromLocal8Bit(argv[1]));
  if (QString(argv[2]) == "-") {
    player.StartPreview();
  } else {
    player.StartRecording(QString::fromLocal8Bit(argv[2]));
  }
  if (argc > 3) {
    QTimer::singleShot(static_cast<int>(std::atof(argv[3]) * 1000), [&] {
      player.Stop();
      say("stopped");
      app.quit();
    });
  }
  return app.exec();
}
