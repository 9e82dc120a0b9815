// TForm1: creation, destruction, closing, and the ports the coordinator,
// the link and the wall reach the window through.
#include "app/gui/tform1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "app/gui/main_thread_call.h"
#include "app/gui/status_bar.h"
#include "app/gui/tform2.h"
#include "app/gui/top_panel.h"
#include "video/archive_view/archive_view.h"
#include "link/wire/wire_format.h"
#include "platform/tick.h"
#include "video/wall/camera_event_format.h"

namespace korvel {

TForm1::TForm1(Options options) : QWidget(nullptr), options_(std::move(options)) {
  setObjectName("Form1");
  setWindowTitle(QStringLiteral("КПО Таврис 8 - Драйвер видеонаблюдения"));
  main_call_ = new MainThreadCall(this);
  BuildControls();

  // The creation handler, in its order.
  view_mode_ = true;
  base_dir_ = options_.base_dir.empty() ? CurrentWorkingFolder()
                                        : WithTrailingSlash(options_.base_dir);
  close_password_ = QString::fromStdString(DrawClosePassword());
  EnsureTempFolder(base_dir_);
  settings_ = ReadWindowSettings(base_dir_ + "korvel.ini", base_dir_);
  log_ = std::make_unique<LinkLogFile>(base_dir_ + "data.log");

  VideoWall::Settings wall_settings;
  wall_settings.recording = settings_.recording;
  wall_settings.storage_prefix = settings_.storage_path;
  wall_settings.dfsm = settings_.dfsm;
  wall_settings.video_place = settings_.video_place;
  // Layout mode 0, then the 16 players and the 16 caption panels.
  wall_ = new VideoWall(this, options_.player_factory, wall_settings, this);
  wall_->SetLayoutTiles([this] { LayoutTiles(); });
  wall_->SetLog([this](std::string_view line) { WriteLog(line); });
  wall_->SetCloseRequestSink([this](std::string_view request) {
    if (coordinator_) coordinator_->PutInbound(request);  // a full queue drops it
  });
  status_->raise();
  panel1_->raise();

  timer_->start(kTimerPeriodMs);

  // Last: the coordinator, which creates the probe and the link.
  if (options_.start_coordinator) {
    datab::Options coordinator_options;
    coordinator_options.base_dir = base_dir_;
    coordinator_options.calibration_ms = options_.calibration_ms;
    coordinator_ = std::make_unique<datab>(*this, std::move(coordinator_options));
    BuildArchiveView();  // over the coordinator's archive entry
    coordinator_->Start();
  }
}

TForm1::~TForm1() {
  timer_->stop();
  if (coordinator_) {
    coordinator_->RequestTerminate();
    // The coordinator's last hand-offs (a layout, a log line) run here.
    coordinator_->WaitForEnd(
        [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 20); });
    coordinator_.reset();
  }
}

void TForm1::SetPasswordDialog(TForm2* dialog) {
  password_dialog_ = dialog;
  if (password_dialog_) password_dialog_->SetPassword(close_password_);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (password_dialog_ == nullptr) {
    event->ignore();  // no way to give the password: the program stays
    return;
  }
  password_dialog_->SetPassword(close_password_);
  const int result = password_dialog_->exec();
  if (result == QDialog::Accepted) {
    event->accept();
    return;
  }
  event->ignore();
  if (result == TForm2::kAbort) {
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("Не правильный пароль."), QMessageBox::Ok, this);
    box.setObjectName("WrongPasswordBox");
    box.exec();
  }
}

// ---- MainWindowPort ----------------------------------------------------

void TForm1::RunOnMainThread(std::function<void()> work) { main_call_->Run(work); }

void TForm1::OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                        const std::string& nameobj) {
  wall_->OpenCamera(name, url, n_obj, nameobj);
}

void TForm1::CloseTile(int position) { wall_->CloseTile(position); }

WallTiles TForm1::ReadWallTiles() const { return wall_->ReadWallTiles(); }

void TForm1::RepaintStatus() {
  try {
    status_->repaint();
  } catch (...) {
  }
}

void TForm1::ShowArchiveYear(int year) {
  if (archive_view_) {
    archive_view_->ShowYear(year);
    return;
  }
  year_label_->setText(QStringLiteral("%1").arg(year, 4, 10, QLatin1Char('0')));
}

// ---- CameraEventSink -----------------------------------------------------

DateTime TForm1::ServerClockOffset() const {
  const cl* link = coordinator_ ? coordinator_->link() : nullptr;
  return link ? link->ServerClockOffset() : 0.0;
}

bool TForm1::SecondYearArchive() const {
  if (!coordinator_) return false;
  const std::array<uint8_t, 512> block = coordinator_->ServerSettings();
  return SecondYearArchiveOn(
      std::string_view(reinterpret_cast<const char*>(block.data()), block.size()));
}

void TForm1::PostCameraEvent(std::string_view record) {
  cl* link = coordinator_ ? coordinator_->link() : nullptr;
  if (link) link->PostToServer(msgCameraEvent, record);
}

void TForm1::AdvancePoll() {
  cl* link = coordinator_ ? coordinator_->link() : nullptr;
  if (link) link->SetLastSendTick(TickMs() - camera_event::kPollAdvanceMs);
}

void TForm1::WriteLog(std::string_view cp1251) {
  if (log_) log_->Append(cp1251);
}

}  // namespace korvel
