// The archive view of the main window ("Архив"): a filter bar on top, the
// list "StringGrid1" at the left (464 pixels wide) and the archive player
// "VideoGrabber1" filling the rest.
//
// Filter bar, left to right: "Выборка", the first filter Edit1, the AND /
// OR radio buttons "И" / "ИЛИ", the second filter Edit2, the year buttons
// around the year label Label327, the player's buttons "Просмотр" (Button1),
// "Пауза" (Button3), "Стоп" (Button2), the progress bar ProgressBar1 (241
// pixels, a click seeks) and the time label Label1 ("00:00:00/00:00:00").
// Controls carry these names as their objectName.
//
// The list is rebuilt from the archive entry by TimerStep, which the main
// window's 200 ms timer calls: a filter change, a year step or new archive
// bytes only set the entry's dirty flag, so several changes within one
// period cause one rebuild. The grid draws every cell straight from the
// entry's arrays (ArchiveGridModel).
//
// Playback: "Просмотр" opens the selected row's recording (converted to
// UTF-8 and opened only as a local regular file) or, after "Пауза", resumes
// the paused one; "Стоп" stops, resets the label and leaves the bar where it
// was; a double-click on the list restarts playback with the selected row;
// a double-click on the player toggles full screen on monitor DFSM. A file
// whose frame count is 0 moves neither the bar nor seeks.
//
// Threads: GUI thread only. The entry belongs to the coordinator and must
// outlive the view; the view changes it only on the GUI thread, under its
// lock (LoadArchiveYear, RebuildArchiveRows).
#pragma once

#include <QWidget>

#include <functional>
#include <string>

#include "platform/date_time.h"
#include "video/archive/archive_entry.h"
#include "video/player/video_player.h"
#include "video/player/video_player_factory.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableView;
class QToolButton;

namespace korvel {

class ArchiveGridModel;
class SeekProgressBar;

class ArchiveView : public QWidget {
  Q_OBJECT

 public:
  struct Settings {
    // Working folder: temp/ holds the archive files, and relative
    // recording paths start here. UTF-8, '/' at the end or not.
    std::string base_dir = "./";
    int32_t video_place = 1;  // main/VideoPlace
    int dfsm = 0;             // Main/DFSM: monitor for full screen
    // The local time now (NowDateTime when empty); the forward year button
    // stops at its year.
    std::function<DateTime()> now;
  };

  ArchiveView(ArchiveEntry* entry, const VideoPlayerFactory& factory, Settings settings,
              QWidget* parent = nullptr);
  ~ArchiveView() override;

  // The timer's archive step. When the entry's dirty flag is set: clears
  // it; if the year-reload flag is set, clears that too, loads the archive
  // date's year (LoadArchiveYear), runs the year-reloaded hook (the owner
  // makes the link poll at once) and shows the year; then rebuilds the
  // list. Returns true when it rebuilt. Failures are swallowed: the next
  // change starts a new rebuild.
  bool TimerStep();
  // Run after a year reload; the main window sets the link's LastSendTick
  // to 0 there.
  void SetYearReloadedHook(std::function<void()> hook) { year_reloaded_ = std::move(hook); }

  // Refills the list from the entry and the filters, refreshes the grid and
  // lets the play button follow the current row: RebuildArchiveRows with
  // CurrentFilter(), then RowsRebuilt().
  void Rebuild();
  // The two filters (Windows-1251), the mode and the workstation, for a
  // main window that runs RebuildArchiveRows itself.
  ArchiveFilter CurrentFilter() const;
  // After the list was rebuilt elsewhere: refreshes the grid, keeps the
  // current row number as far as the list reaches, and lets the play button
  // follow it.
  void RowsRebuilt();
  // When set, the year buttons hand the reload to the main window through
  // this hook (its timer then reloads, polls and shows the year) instead of
  // the view's own flag and TimerStep.
  void SetYearStepHook(std::function<void()> hook) { year_step_ = std::move(hook); }
  // Shows the archive year, four digits, in Label327.
  void ShowYear(int year);

  // ---- state, for the main window and tests ----
  bool YearReloadPending() const { return year_reload_; }
  bool PlayerPaused() const { return player_paused_; }
  VideoPlayer* Player() const { return player_; }
  // The grid row (1 = first data row) that is current, 0 when none.
  int CurrentGridRow() const;
  // Makes grid row `row` (1-based) current, as a click on it would.
  void SelectGridRow(int row);

  // ---- the handlers, named as the controls' events ----
  void Button1Click();   // "Просмотр"
  void Button3Click();   // "Пауза"
  void Button2Click();   // "Стоп"
  void StringGrid1DblClick();
  void ProgressBar1MouseDown(int x);
  void AdvGlowButton284Click();  // previous year
  void AdvGlowButton285Click();  // next year

 private:
  void BuildControls(const VideoPlayerFactory& factory);
  void StringGrid1SelectCell(int row);
  void PlayerOpened();
  void PlayerPosition(qint64 frame_number);
  void PlayerDoubleClick();
  void SetDirty() { entry_->dirty = true; }
  void RequestYearReload();
  DateTime Now() const;

  ArchiveEntry* entry_;
  Settings settings_;
  std::function<void()> year_reloaded_;
  std::function<void()> year_step_;
  bool year_reload_ = false;     // reload the archive files before the next rebuild
  bool player_paused_ = false;   // after "Пауза" until "Стоп" or "Просмотр"

  QLabel* label10_ = nullptr;
  QLineEdit* edit1_ = nullptr;
  QRadioButton* radio_and_ = nullptr;
  QRadioButton* radio_or_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QToolButton* year_back_ = nullptr;
  QLabel* year_label_ = nullptr;
  QToolButton* year_forward_ = nullptr;
  QPushButton* play_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* stop_ = nullptr;
  SeekProgressBar* progress_ = nullptr;
  QLabel* time_label_ = nullptr;
  QTableView* grid_ = nullptr;
  ArchiveGridModel* model_ = nullptr;
  VideoPlayer* player_ = nullptr;
};

}  // namespace korvel
