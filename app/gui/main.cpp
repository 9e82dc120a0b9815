// korvel: the video-surveillance driver's program. No command-line
// arguments are read (the toolkit's own, such as -platform, still apply).
#include <QApplication>

#include "app/gui/tform1.h"
#include "app/gui/tform2.h"
#include "video/gst/gst_video_player.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  korvel::TForm1::Options options;
  options.player_factory = korvel::MakeGstVideoPlayerFactory();
  int result = 0;
  {
    korvel::TForm1 form(std::move(options));
    korvel::TForm2 password_dialog;
    form.SetPasswordDialog(&password_dialog);
    form.showMaximized();
    result = app.exec();
  }  // the window's destruction ends the coordinator
  return result;
}
