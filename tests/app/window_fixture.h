// A main window with fake players and no coordinator, in a working folder
// of its own, for the widget tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/tform1.h"
#include "platform/codepage.h"
#include "tests/app/qt_test_app.h"
#include "video/player/fake_video_player.h"

namespace korvel {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApp();
    static int counter = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("korvel_window_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    form_.reset();
    std::filesystem::remove_all(dir_);
  }

  void WriteIni(const std::string& text) { std::ofstream(dir_ / "korvel.ini") << text; }

  // Creates the window; `client` is its client size.
  TForm1& MakeForm(int width = 1190, int height = 573) {
    TForm1::Options options;
    options.base_dir = dir_.string() + "/";
    options.player_factory = MakeFakeVideoPlayerFactory(&players_);
    options.start_coordinator = false;
    form_ = std::make_unique<TForm1>(std::move(options));
    form_->resize(width, height);
    form_->show();
    form_->LayoutTiles();
    return *form_;
  }

  // Opens camera i ("cam<i>", object "obj", URL "rtsp://h/<i>").
  void Open(int i) {
    form_->OpenCamera("cam" + std::to_string(i), "rtsp://h/" + std::to_string(i), 100 + i,
                      "obj");
  }

  QRect PlayerAt(int position) const {
    return players_[form_->wall().table().TileAt(position)]->geometry();
  }

  std::filesystem::path dir_;
  std::vector<FakeVideoPlayer*> players_;
  std::unique_ptr<TForm1> form_;
};

}  // namespace korvel
