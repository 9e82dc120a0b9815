// korvel: the video-surveillance driver's program. No command-line
// arguments are read (the toolkit's own, such as -platform, still apply).
#include <QApplication>
#include <QScreen>

#include "app/gui/termination_signals.h"
#include "app/gui/tform1.h"
#include "app/gui/tform2.h"
#include "video/gst/gst_video_player.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  korvel::QuitOnTerminationSignals();
  korvel::TForm1::Options options;
  options.player_factory = korvel::MakeGstVideoPlayerFactory();
  int result = 0;
  {
    korvel::TForm1 form(std::move(options));
    korvel::TForm2 password_dialog;
    form.SetPasswordDialog(&password_dialog);
    // Maximized; without a window manager (a bare X server) the window
    // takes the screen's available area itself.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      form.setGeometry(screen->availableGeometry());
    }
    form.showMaximized();
    result = app.exec();
  }  // the window's destruction ends the coordinator
  return result;
}
