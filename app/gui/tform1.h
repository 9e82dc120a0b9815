// TForm1: the main window "КПО Таврис 8 - Драйвер видеонаблюдения".
//
// From top to bottom: the top panel Panel1 (81 pixels, collapsible to 5)
// with the view buttons SpeedButton1 "Видеоохрана" and SpeedButton2
// "Архив"; the video wall (16 players placed directly in the window's
// client area) or the archive view Panel2; and the status bar StatusBar1
// (19 pixels). It reads its settings, draws the close password, owns the
// wall, the 200 ms timer, the status bar, and the coordinator `datab`,
// which it starts as the last step of its creation and waits for when it
// is destroyed.
//
// It is the coordinator's and the link's way to the GUI (MainWindowPort),
// and the wall's way to the link for camera event records
// (CameraEventSink).
//
// Threads: the window lives on the GUI thread. RunOnMainThread and
// SetLinkUp may be called from any thread; everything else on the GUI
// thread only.
#pragma once

#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "app/core/datab.h"
#include "app/core/main_window_port.h"
#include "app/gui/status_bar.h"
#include "app/gui/window_settings.h"
#include "link/session/link_log.h"
#include "video/archive/archive_entry.h"
#include "video/player/video_player_factory.h"
#include "video/wall/camera_event.h"
#include "video/wall/video_wall.h"

class QLabel;
class QTimer;
class QToolButton;

namespace korvel {

class ArchiveView;
class MainThreadCall;
class StatusBar;
class TForm2;
class TopPanel;

class TForm1 : public QWidget, public MainWindowPort, private CameraEventSink {
  Q_OBJECT

 public:
  struct Options {
    // Working folder with a trailing "/" (korvel.ini, temp/, data.log);
    // empty: the current directory.
    std::string base_dir;
    VideoPlayerFactory player_factory;
    // Start the coordinator (and through it the link) as the last step of
    // creation. Widget tests leave it off.
    bool start_coordinator = true;
    // The coordinator's calibration sleep (it delays the link's start).
    int calibration_ms = 1000;
  };

  // What the archive view gives the timer's rebuild.
  struct ArchiveViewHooks {
    std::function<ArchiveFilter()> filter;  // the view's two filters and mode
    std::function<void()> rows_rebuilt;     // refresh the grid
  };

  static constexpr int kPanel1HeightPx = 81;
  static constexpr int kPanel1CollapsedPx = 5;
  static constexpr int kTimerPeriodMs = 200;

  explicit TForm1(Options options);
  ~TForm1() override;

  // The close-password dialog (created after the window, Part of start-up);
  // the close handler shows it.
  void SetPasswordDialog(TForm2* dialog);
  void SetArchiveViewHooks(ArchiveViewHooks hooks) { archive_hooks_ = std::move(hooks); }
  // Set by the archive year buttons: the next rebuild reloads the year.
  void RequestYearReload() { year_reload_ = true; }

  // ---- MainWindowPort ----
  void RunOnMainThread(std::function<void()> work) override;
  void OpenCamera(const std::string& name, const std::string& url, int32_t n_obj,
                  const std::string& nameobj) override;
  void CloseTile(int position) override;
  WallTiles ReadWallTiles() const override;
  void RepaintStatus() override;
  void ShowArchiveYear(int year) override;
  void SetLinkUp(bool up) override { link_up_published_.store(up); }

  // ---- layout (Part of the window's own events) ----
  void LayoutTiles();
  void Panel1DblClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  // The 200 ms timer's tick.
  void Timer1Timer();

  // ---- state, for the program and its tests ----
  const std::string& base_dir() const { return base_dir_; }
  const QString& close_password() const { return close_password_; }
  const WindowSettings& settings() const { return settings_; }
  bool view_mode() const { return view_mode_; }
  bool link_up_shown() const { return link_up_shown_; }
  VideoWall& wall() { return *wall_; }
  datab* coordinator() const { return coordinator_.get(); }
  TopPanel* panel1() const { return panel1_; }
  QWidget* panel2() const { return panel2_; }
  StatusBar* status_bar() const { return status_; }
  QTimer* timer() const { return timer_; }
  // The archive view inside Panel2 (only with a coordinator, which owns the
  // archive entry); nullptr otherwise.
  ArchiveView* archive_view() const { return archive_view_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // CameraEventSink (the link, once the coordinator has created it).
  DateTime ServerClockOffset() const override;
  bool SecondYearArchive() const override;
  void PostCameraEvent(std::string_view record) override;
  void AdvancePoll() override;

  void BuildControls();
  void BuildArchiveView();
  void PlaceRegions();
  StatusView ReadStatusView() const;
  void RebuildArchive();
  void WriteLog(std::string_view cp1251);

  Options options_;
  std::string base_dir_;
  QString close_password_;
  WindowSettings settings_;
  bool view_mode_ = true;
  bool year_reload_ = false;
  std::atomic<bool> link_up_published_{false};
  bool link_up_shown_ = false;

  MainThreadCall* main_call_ = nullptr;
  TopPanel* panel1_ = nullptr;
  QToolButton* speed_button1_ = nullptr;
  QToolButton* speed_button2_ = nullptr;
  QWidget* panel2_ = nullptr;
  QLabel* year_label_ = nullptr;
  ArchiveView* archive_view_ = nullptr;
  StatusBar* status_ = nullptr;
  QTimer* timer_ = nullptr;
  TForm2* password_dialog_ = nullptr;
  VideoWall* wall_ = nullptr;
  ArchiveViewHooks archive_hooks_;
  std::unique_ptr<LinkLogFile> log_;
  std::unique_ptr<datab> coordinator_;
};

}  // namespace korvel
