// The wall's layout in the main window: sizes and places, the collapsed top
// panel, the two views, opening and closing in order.
#include <QTimer>

#include "app/gui/top_panel.h"
#include "tests/app/window_fixture.h"

namespace korvel {
namespace {

TEST_F(WindowTest, CreationMakesSixteenNamedHiddenPlayersAndTheTempFolder) {
  TForm1& form = MakeForm();
  ASSERT_EQ(players_.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(players_[i]->objectName(), QString("v%1").arg(i));
    EXPECT_EQ(players_[i]->parentWidget(), &form);
    EXPECT_EQ(form.wall().table().TileAt(i), i);
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "temp"));
  EXPECT_EQ(form.windowTitle(), QStringLiteral("КПО Таврис 8 - Драйвер видеонаблюдения"));
  const QString pw = form.close_password();
  EXPECT_EQ(pw.size(), 5);
  EXPECT_GE(pw.toInt(), 10000);
  EXPECT_LE(pw.toInt(), 99998);
  // Defaults without korvel.ini.
  EXPECT_EQ(form.settings().dfsm, 0);
  EXPECT_FALSE(form.settings().recording);
  EXPECT_EQ(form.settings().video_place, 1);
  EXPECT_TRUE(form.settings().storage_path.ends_with("storage/"));
}

TEST_F(WindowTest, SettingsComeFromKorvelIni) {
  WriteIni("[MAIN]\nDFSM=1\nRecording=2\nStoragePath=rec\\cams\\\nVideoPlace=7\n");
  TForm1& form = MakeForm();
  EXPECT_EQ(form.settings().dfsm, 1);
  EXPECT_TRUE(form.settings().recording);
  EXPECT_EQ(form.settings().storage_path, dir_.string() + "/rec/cams/");
  EXPECT_EQ(form.settings().video_place, 7);
}

TEST_F(WindowTest, NoCameraOneEmptyTileFillsTheWall) {
  MakeForm();
  EXPECT_EQ(PlayerAt(0), QRect(2, 83, 1186, 469));
  EXPECT_TRUE(players_[0]->isVisible());
  for (int i = 1; i < 16; ++i) EXPECT_FALSE(players_[i]->isVisible()) << i;
}

TEST_F(WindowTest, WorkedExampleAsCamerasOpen) {
  MakeForm();
  Open(0);
  Open(1);  // second camera: 2 x 2 with two empty tiles
  EXPECT_EQ(form_->wall().table().layout_mode(), 1);
  EXPECT_EQ(PlayerAt(1), QRect(596, 83, 592, 233));
  EXPECT_EQ(PlayerAt(3), QRect(596, 318, 592, 233));
  EXPECT_TRUE(players_[3]->isVisible());
  for (int i = 2; i < 5; ++i) Open(i);  // fifth: 3 x 3
  EXPECT_EQ(PlayerAt(1), QRect(398, 83, 394, 155));
  EXPECT_EQ(PlayerAt(8), QRect(794, 397, 394, 155));
  for (int i = 5; i < 10; ++i) Open(i);  // tenth: 4 x 4
  EXPECT_EQ(PlayerAt(1), QRect(299, 83, 295, 115));
  EXPECT_EQ(PlayerAt(15), QRect(893, 434, 295, 115));
}

TEST_F(WindowTest, CollapsedTopPanelAndBack) {
  MakeForm();
  Open(0);
  Open(1);
  form_->Panel1DblClick();
  EXPECT_EQ(form_->panel1()->height(), 5);
  EXPECT_EQ(PlayerAt(0), QRect(2, 7, 592, 271));
  EXPECT_EQ(PlayerAt(1), QRect(596, 7, 592, 271));
  EXPECT_EQ(PlayerAt(2), QRect(2, 280, 592, 271));
  EXPECT_EQ(PlayerAt(3), QRect(596, 280, 592, 271));
  form_->Panel1DblClick();
  EXPECT_EQ(form_->panel1()->height(), 81);
  EXPECT_EQ(PlayerAt(3), QRect(596, 318, 592, 233));
  // Any other height becomes 81.
  form_->panel1()->setFixedHeight(40);
  form_->Panel1DblClick();
  EXPECT_EQ(form_->panel1()->height(), 81);
}

TEST_F(WindowTest, ArchiveViewHidesTilesWithoutStoppingThem) {
  MakeForm();
  Open(0);
  Open(1);
  for (auto* p : players_) p->ClearCalls();
  const auto order = form_->wall().table().order();
  form_->SpeedButton2Click();
  EXPECT_FALSE(form_->view_mode());
  EXPECT_TRUE(form_->panel2()->isVisible());
  for (int i = 0; i < 16; ++i) {
    EXPECT_FALSE(players_[i]->isVisible());
    EXPECT_FALSE(form_->wall().caption(i)->isVisible());
  }
  form_->SpeedButton1Click();
  EXPECT_FALSE(form_->panel2()->isVisible());
  EXPECT_EQ(form_->wall().table().order(), order);
  EXPECT_EQ(form_->wall().table().layout_mode(), 1);
  EXPECT_EQ(PlayerAt(1), QRect(596, 83, 592, 233));
  for (auto* p : players_) EXPECT_TRUE(p->Calls().empty());
}

TEST_F(WindowTest, ResizeTruncates) {
  MakeForm(1191, 573);
  Open(0);
  Open(1);
  EXPECT_EQ(PlayerAt(0).width(), 592);
}

TEST_F(WindowTest, SixteenOpenThenTheSeventeenthChangesNothing) {
  MakeForm();
  for (int i = 0; i < 16; ++i) Open(i);
  EXPECT_EQ(form_->wall().table().layout_mode(), 3);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(players_[i]->Calls(),
              (std::vector<std::string>{"SetStreamTimeoutMs 10000",
                                        "OpenLive rtsp://h/" + std::to_string(i), "StartPreview"}));
    players_[i]->ClearCalls();
  }
  EXPECT_FALSE(form_->wall().OpenCamera("x", "rtsp://x", 1, "o"));
  for (auto* p : players_) EXPECT_TRUE(p->Calls().empty());
}

TEST_F(WindowTest, CloseAtPosition1OfThreeThenOneMore) {
  MakeForm();
  for (int i = 0; i < 3; ++i) Open(i);
  form_->CloseTile(1);
  EXPECT_EQ(players_[1]->Calls().back(), "Stop");
  EXPECT_EQ(form_->wall().table().TileAt(1), 2);
  EXPECT_EQ(form_->wall().table().TileAt(15), 1);
  EXPECT_EQ(form_->wall().table().layout_mode(), 1);
  EXPECT_EQ(PlayerAt(1), QRect(596, 83, 592, 233));
  EXPECT_TRUE(players_[2]->isVisible());
  form_->CloseTile(1);
  EXPECT_EQ(form_->wall().table().layout_mode(), 0);
  EXPECT_EQ(PlayerAt(0), QRect(2, 83, 1186, 469));
  EXPECT_FALSE(players_[2]->isVisible());
  const WallTiles tiles = form_->ReadWallTiles();
  EXPECT_EQ(tiles[0].name, "cam0");
  EXPECT_FALSE(tiles[1].occupied());
}

TEST_F(WindowTest, ClosingPosition15MovesNothing) {
  MakeForm();
  for (int i = 0; i < 16; ++i) Open(i);
  const auto order = form_->wall().table().order();
  form_->CloseTile(15);
  EXPECT_EQ(form_->wall().table().order(), order);
  EXPECT_EQ(players_[15]->Calls().back(), "Stop");
  EXPECT_EQ(form_->wall().table().layout_mode(), 3);
  EXPECT_TRUE(players_[15]->isVisible());  // still in the 4 x 4 grid, free
}

TEST_F(WindowTest, RecordingGoesIntoDatedFoldersWithUniqueNames) {
  WriteIni("[Main]\nRecording=1\n");
  MakeForm();
  DateTime when = 0;
  ASSERT_TRUE(EncodeDateTime({2024, 3, 7, 9, 0, 0, 0}, &when));
  form_->wall().SetClock([when] { return when; });
  form_->OpenCamera(Utf8ToCp1251("A/B:C"), "rtsp://h/1", 5, Utf8ToCp1251("X*Y"));
  form_->OpenCamera(Utf8ToCp1251("A/B:C"), "rtsp://h/2", 5, Utf8ToCp1251("X*Y"));
  const std::string day = dir_.string() + "/storage/2024/3/7";
  EXPECT_TRUE(std::filesystem::is_directory(day));
  EXPECT_EQ(players_[0]->Calls().back(), "StartRecording " + day + "/X-Y-A-B-C-09-00-00.mp4");
  EXPECT_EQ(players_[1]->Calls().back(), "StartRecording " + day + "/X-Y-A-B-C-09-00-00-2.mp4");
  EXPECT_EQ(form_->wall().table().record(0).recording_file,
            day + "/X-Y-A-B-C-09-00-00.mp4");
  EXPECT_TRUE(form_->wall().table().record(0).recording);
  form_->CloseTile(0);
  EXPECT_EQ(players_[0]->Calls().back(), "Stop");
}

TEST_F(WindowTest, RecordingOffMakesNoFolders) {
  MakeForm();
  Open(0);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "storage"));
  EXPECT_EQ(form_->wall().table().record(0).recording_file, "");
}

}  // namespace
}  // namespace korvel
