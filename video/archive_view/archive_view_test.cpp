#include "video/archive_view/archive_view.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>

#include <filesystem>
#include <fstream>

#include "platform/codepage.h"
#include "video/archive/archive_writer.h"
#include "video/archive_view/archive_grid_model.h"
#include "video/player/fake_video_player.h"

namespace korvel {
namespace {

QApplication* App() {
  static int argc = 1;
  static char name[] = "archive_view_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return app;
}

DateTime At(int year, int month, int day, int hour = 0) {
  DateTime dt = 0;
  EXPECT_TRUE(EncodeDateTime(CalendarFields{year, month, day, hour, 0, 0, 0}, &dt));
  return dt;
}

ArchiveEventFields Closed(int month, int day, int hour, const std::string& object,
                          const std::string& camera, int32_t workstation, const std::string& path) {
  ArchiveEventFields e;
  e.month = static_cast<uint8_t>(month);
  e.day = static_cast<uint8_t>(day);
  e.hour = static_cast<uint8_t>(hour);
  e.minute = 5;
  e.second = 9;
  e.object = Utf8ToCp1251(object);
  e.camera = Utf8ToCp1251(camera);
  e.workstation = workstation;
  e.recording_path = Utf8ToCp1251(path);
  return e;
}

class ArchiveViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    char tmpl[] = "/tmp/korvel_archive_view_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    base_ = std::string(tmpl) + "/";
    std::filesystem::create_directories(base_ + "temp");
    std::filesystem::create_directories(base_ + "storage");
    std::ofstream(base_ + "storage/a.mp4") << "a";
    std::ofstream(base_ + "storage/b.mp4") << "b";

    ArchiveWriter w(2024);
    w.Append(Closed(3, 7, 14, "Склад №5", "Подъезд 2", 1, "storage/a.mp4"));
    w.Append(Closed(3, 8, 10, "Офис", "Вход", 0, "storage/b.mp4"));
    w.Append(Closed(3, 9, 11, "Склад №5", "Двор", 1, "storage/gone.mp4"));
    w.Append(Closed(3, 9, 12, "Магазин", "Касса", 2, "storage/a.mp4"));  // another workstation
    ASSERT_TRUE(w.WriteFiles(base_ + "temp", "vi8_2024"));

    entry_.archive_date = At(2024, 2, 29, 14);
    LoadArchiveYear(base_, 2024, &entry_);
    ArchiveView::Settings settings;
    settings.base_dir = base_;
    settings.video_place = 1;
    settings.dfsm = 1;
    settings.now = [] { return At(2026, 12, 11, 1); };
    view_ = std::make_unique<ArchiveView>(&entry_, MakeFakeVideoPlayerFactory(&players_), settings);
    view_->resize(1200, 600);
    view_->SetYearReloadedHook([this] { ++polls_; });
    entry_.dirty = true;
    ASSERT_TRUE(view_->TimerStep());
    ASSERT_EQ(players_.size(), 1u);
    player_ = players_[0];
  }
  void TearDown() override {
    view_.reset();
    std::filesystem::remove_all(base_);
  }

  template <typename T>
  T* Find(const char* name) {
    T* w = view_->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Cell(int row, int column) {
    auto* grid = Find<QTableView>("StringGrid1");
    return grid->model()->index(row, column).data().toString();
  }
  int GridRows() { return Find<QTableView>("StringGrid1")->model()->rowCount(); }

  std::string base_;
  ArchiveEntry entry_;
  std::vector<FakeVideoPlayer*> players_;
  FakeVideoPlayer* player_ = nullptr;
  std::unique_ptr<ArchiveView> view_;
  int polls_ = 0;
};

TEST_F(ArchiveViewTest, LayoutAndControls) {
  auto* grid = Find<QTableView>("StringGrid1");
  EXPECT_EQ(grid->width(), 464);
  EXPECT_EQ(grid->columnWidth(0), 96);
  EXPECT_EQ(grid->columnWidth(1), 167);
  EXPECT_EQ(grid->columnWidth(2), 178);
  EXPECT_EQ(grid->verticalHeader()->defaultSectionSize(), 16);
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  const QStringList titles = {"Дата время", "Объект", "Камера"};
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(grid->model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
  }
  EXPECT_TRUE(Find<QRadioButton>("RadioButton1")->isChecked());
  EXPECT_EQ(Find<QRadioButton>("RadioButton2")->text(), "ИЛИ");
  EXPECT_EQ(Find<QLineEdit>("Edit1")->toolTip(), "Наложение фильтра на список объектов");
  EXPECT_EQ(Find<QToolButton>("AdvGlowButton284")->toolTip(), "События - день назад");
  EXPECT_EQ(Find<QToolButton>("AdvGlowButton285")->toolTip(), "События - день вперед");
  EXPECT_EQ(Find<QLabel>("Label10")->text(), "Выборка");
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "00:00:00/00:00:00");
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->width(), 241);
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->maximum(), 100);
  EXPECT_FALSE(Find<QPushButton>("Button2")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("Button3")->isEnabled());
  EXPECT_EQ(player_->objectName(), "VideoGrabber1");

  // KORVEL_ARCHIVE_SCREENSHOT=<file.png> keeps a picture of the view.
  if (const char* shot = ::getenv("KORVEL_ARCHIVE_SCREENSHOT")) {
    view_->ShowYear(2024);
    view_->show();
    EXPECT_TRUE(view_->grab().save(QString::fromLocal8Bit(shot)));
  }
}

TEST_F(ArchiveViewTest, ListDrawsTheRowsOfThisWorkstation) {
  ASSERT_EQ(GridRows(), 3);
  EXPECT_EQ(Cell(0, 0), "07.03 14:05:09");
  EXPECT_EQ(Cell(0, 1), "Склад №5");
  EXPECT_EQ(Cell(0, 2), "Подъезд 2 АРМ №1");
  EXPECT_EQ(Cell(1, 2), "Вход АРМ №0");
  // The first row is current and its file exists.
  EXPECT_EQ(view_->CurrentGridRow(), 1);
  EXPECT_TRUE(Find<QPushButton>("Button1")->isEnabled());
  view_->SelectGridRow(3);  // storage/gone.mp4
  EXPECT_FALSE(Find<QPushButton>("Button1")->isEnabled());
  view_->SelectGridRow(2);
  EXPECT_TRUE(Find<QPushButton>("Button1")->isEnabled());

  QAbstractItemModelTester tester(Find<QTableView>("StringGrid1")->model(),
                                  QAbstractItemModelTester::FailureReportingMode::Warning);
}

TEST_F(ArchiveViewTest, FilterChangesRebuildOnceAtTheNextTick) {
  Find<QLineEdit>("Edit1")->setText("склад");
  Find<QLineEdit>("Edit2")->setText("07.03");
  EXPECT_EQ(GridRows(), 3);  // nothing happens before the tick
  EXPECT_TRUE(view_->TimerStep());
  EXPECT_FALSE(view_->TimerStep());
  EXPECT_EQ(GridRows(), 1);
  EXPECT_EQ(Cell(0, 0), "07.03 14:05:09");
  Find<QRadioButton>("RadioButton2")->click();  // OR
  EXPECT_TRUE(view_->TimerStep());
  EXPECT_EQ(GridRows(), 2);
  Find<QLineEdit>("Edit1")->setText("нет такого");
  Find<QLineEdit>("Edit2")->clear();
  EXPECT_TRUE(view_->TimerStep());
  EXPECT_EQ(GridRows(), 1);  // one blank row
  EXPECT_EQ(Cell(0, 0), "");
  EXPECT_FALSE(Find<QPushButton>("Button1")->isEnabled());
}

TEST_F(ArchiveViewTest, YearButtons) {
  // At the current year the forward button does nothing.
  entry_.archive_date = At(2026, 5, 5);
  Find<QToolButton>("AdvGlowButton285")->click();
  EXPECT_FALSE(view_->YearReloadPending());
  EXPECT_EQ(entry_.archive_date, At(2026, 5, 5));
  EXPECT_FALSE(view_->TimerStep());

  entry_.archive_date = At(2024, 2, 29, 14);
  Find<QToolButton>("AdvGlowButton284")->click();
  EXPECT_EQ(entry_.archive_date, At(2023, 2, 1, 14));
  EXPECT_TRUE(view_->YearReloadPending());
  EXPECT_TRUE(view_->TimerStep());
  EXPECT_FALSE(view_->YearReloadPending());
  EXPECT_EQ(Find<QLabel>("Label327")->text(), "2023");
  EXPECT_EQ(entry_.name, "vi8_2023");
  EXPECT_EQ(polls_, 1);
  EXPECT_EQ(GridRows(), 1);  // no files for 2023 yet
  EXPECT_FALSE(Find<QPushButton>("Button1")->isEnabled());

  Find<QToolButton>("AdvGlowButton285")->click();
  EXPECT_TRUE(view_->TimerStep());
  EXPECT_EQ(Find<QLabel>("Label327")->text(), "2024");
  EXPECT_EQ(GridRows(), 3);
}

TEST_F(ArchiveViewTest, AMainWindowCanRunTheRebuildItself) {
  int year_steps = 0;
  view_->SetYearStepHook([&] { ++year_steps; });
  Find<QToolButton>("AdvGlowButton284")->click();
  EXPECT_EQ(year_steps, 1);
  EXPECT_FALSE(view_->YearReloadPending());
  EXPECT_TRUE(entry_.dirty.exchange(false));

  Find<QLineEdit>("Edit2")->setText("вход");
  Find<QRadioButton>("RadioButton2")->click();
  const ArchiveFilter filter = view_->CurrentFilter();
  EXPECT_EQ(filter.text2, Utf8ToCp1251("вход"));
  EXPECT_FALSE(filter.and_mode);
  EXPECT_EQ(filter.video_place, 1);
  RebuildArchiveRows(filter, &entry_);
  view_->RowsRebuilt();
  EXPECT_EQ(GridRows(), 1);
  EXPECT_EQ(Cell(0, 1), "Офис");
}

TEST_F(ArchiveViewTest, PauseThenPlayResumesDoubleClickPlaysTheNewRow) {
  const QString a = QString::fromStdString(base_ + "storage/a.mp4");
  const QString b = QString::fromStdString(base_ + "storage/b.mp4");
  Find<QPushButton>("Button1")->click();
  ASSERT_EQ(player_->Calls(), std::vector<std::string>{"OpenFile " + a.toStdString()});
  EXPECT_FALSE(Find<QPushButton>("Button2")->isEnabled());
  player_->RaiseOpened(1000, 600LL * 10'000'000);
  EXPECT_TRUE(Find<QPushButton>("Button2")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("Button3")->isEnabled());
  player_->RaisePosition(497, 65LL * 10'000'000);
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 49);
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "00:01:05/00:10:00");

  Find<QPushButton>("Button3")->click();
  EXPECT_TRUE(view_->PlayerPaused());
  view_->SelectGridRow(2);
  player_->ClearCalls();
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(player_->Calls(), std::vector<std::string>{"Resume"});
  EXPECT_FALSE(view_->PlayerPaused());

  Find<QPushButton>("Button3")->click();
  player_->ClearCalls();
  view_->StringGrid1DblClick();
  EXPECT_EQ(player_->Calls(),
            (std::vector<std::string>{"StopPlayback", "OpenFile " + b.toStdString()}));
  EXPECT_FALSE(view_->PlayerPaused());
}

TEST_F(ArchiveViewTest, StopResetsTheLabelAndKeepsTheBar) {
  Find<QPushButton>("Button1")->click();
  player_->RaiseOpened(1000, (3600LL + 2 * 60 + 3) * 10'000'000);
  player_->RaisePosition(250, 10LL * 10'000'000);
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "00:00:10/01:02:03");
  Find<QPushButton>("Button2")->click();
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "00:00:00/00:00:00");
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 25);
  EXPECT_FALSE(Find<QPushButton>("Button2")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>("Button3")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("Button1")->isEnabled());
}

TEST_F(ArchiveViewTest, SeekFromTheBarAndNoDivisionByZeroFrames) {
  Find<QPushButton>("Button1")->click();
  player_->RaiseOpened(1000, 0);
  player_->ClearCalls();
  view_->ProgressBar1MouseDown(120);
  EXPECT_EQ(player_->Calls(), std::vector<std::string>{"SeekToFrame 497"});

  // A file that reports no frames: no seek, the bar stays, the controls work.
  Find<QPushButton>("Button2")->click();
  Find<QPushButton>("Button1")->click();
  player_->RaiseOpened(0, 0);
  player_->RaisePosition(10, 0);
  EXPECT_EQ(Find<QProgressBar>("ProgressBar1")->value(), 0);
  player_->ClearCalls();
  view_->ProgressBar1MouseDown(120);
  EXPECT_TRUE(player_->Calls().empty());
  EXPECT_TRUE(Find<QPushButton>("Button2")->isEnabled());
  EXPECT_TRUE(Find<QPushButton>("Button3")->isEnabled());
}

TEST_F(ArchiveViewTest, RowsCheckedAgainstTheArraysEveryTime) {
  // A chunk emptied the index under the list: cells paint empty, play does
  // nothing.
  entry_.index.clear();
  EXPECT_EQ(Cell(0, 1), "");
  player_->ClearCalls();
  view_->Button1Click();
  EXPECT_TRUE(player_->Calls().empty());
  // The file of the selected row disappeared after it was selected.
  LoadArchiveYear(base_, 2024, &entry_);
  entry_.dirty = true;
  view_->TimerStep();
  std::filesystem::remove(base_ + "storage/a.mp4");
  view_->Button1Click();
  EXPECT_TRUE(player_->Calls().empty());
}

TEST_F(ArchiveViewTest, PlayerDoubleClickTogglesFullScreenOnMonitorDfsm) {
  player_->RaiseDoubleClick();
  player_->RaiseDoubleClick();
  EXPECT_EQ(player_->Calls(), (std::vector<std::string>{"SetFullScreen 1", "ExitFullScreen"}));
}

}  // namespace
}  // namespace korvel
