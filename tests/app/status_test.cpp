// The status bar's link indicator and password panel, and the timer that
// switches the captions with the link state.
#include <QImage>
#include <QPainter>

#include "app/gui/status_bar.h"
#include "tests/app/window_fixture.h"

namespace korvel {
namespace {

// Paints panel 0 for `view` and returns the x offsets (0..19) whose pixel in
// the middle row has the pen colour.
std::vector<int> MarkColumns(const StatusView& view, QColor* pen = nullptr) {
  EnsureQtApp();
  StatusBar bar(nullptr, nullptr);
  QImage image(20, StatusBar::kHeightPx, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  bar.DrawPanel(painter, 0, QRect(0, 0, 20, StatusBar::kHeightPx), view);
  painter.end();
  const QColor color = view.connected ? QColor(0, 128, 0) : QColor(255, 0, 0);
  if (pen) *pen = color;
  std::vector<int> columns;
  for (int x = 2; x < 18; ++x) {  // inside the frame's 2-pixel edges
    if (image.pixelColor(x, 9) == color) columns.push_back(x);
  }
  return columns;
}

TEST(LinkIndicator, MarkPositions) {
  StatusView v;
  v.link_exists = true;
  v.connected = true;
  v.activity = 0;
  EXPECT_EQ(MarkColumns(v), (std::vector<int>{2, 3, 4}));  // 0, 1 lie under the frame
  v.activity = 5;
  EXPECT_EQ(MarkColumns(v), (std::vector<int>{5, 6, 7, 8, 9}));
  v.activity = 12;
  EXPECT_EQ(MarkColumns(v), (std::vector<int>{12, 13, 14, 15, 16}));
  v.activity = 13;
  EXPECT_EQ(MarkColumns(v), (std::vector<int>{13, 14, 15, 16}));  // and 1
  v.connected = false;
  v.activity = 15;
  EXPECT_EQ(MarkColumns(v), (std::vector<int>{2, 3, 15, 16}));  // 15, 16, 1, 2, 3
}

TEST(LinkIndicator, BlankBeforeTheLinkExists) {
  StatusView v;
  v.connected = true;
  EXPECT_TRUE(MarkColumns(v).empty());
}

TEST_F(WindowTest, PasswordPanelShowsTheClosePassword) {
  TForm1& form = MakeForm();
  QImage image = form.status_bar()->grab().toImage();
  EXPECT_EQ(image.height(), 19);
  // Panel 0 is blank (no link thread), the password text is drawn to its
  // right: some dark pixels past x = 22.
  int dark_in_panel0 = 0;
  int dark_in_panel1 = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y).lightness() < 100) (x < 20 ? dark_in_panel0 : dark_in_panel1)++;
    }
  }
  EXPECT_EQ(dark_in_panel0, 0);
  EXPECT_GT(dark_in_panel1, 20);
}

TEST_F(WindowTest, TimerSwitchesCaptionsWithTheLinkState) {
  MakeForm();
  Open(0);
  Open(1);
  // At start the shown flag is false: the red notice covers every tile.
  CaptionPanel* c0 = form_->wall().caption(0);
  EXPECT_EQ(c0->text(), QStringLiteral("Нет связи с сервером сообщений"));
  EXPECT_EQ(c0->height(), PlayerAt(0).height());
  form_->SetLinkUp(true);
  form_->Timer1Timer();
  EXPECT_TRUE(form_->link_up_shown());
  EXPECT_EQ(c0->text(), QStringLiteral("obj - cam0"));
  EXPECT_EQ(c0->height(), PlayerAt(0).height() / 25 + 8);
  EXPECT_EQ(c0->TextColor(), CaptionPanel::kRed);  // not live yet
  players_[1]->RaisePreviewStarted();
  EXPECT_EQ(form_->wall().caption(1)->TextColor(), CaptionPanel::kGreen);
  // The empty tiles of the 2 x 2 grid carry " - ".
  EXPECT_EQ(form_->wall().caption(3)->text(), QStringLiteral(" - "));
  form_->SetLinkUp(false);
  form_->Timer1Timer();
  for (int k = 0; k < 4; ++k) {
    CaptionPanel* c = form_->wall().caption(form_->wall().table().TileAt(k));
    EXPECT_EQ(c->text(), QStringLiteral("Нет связи с сервером сообщений"));
    EXPECT_EQ(c->height(), PlayerAt(k).height());
    EXPECT_TRUE(c->isVisible());
  }
}

}  // namespace
}  // namespace korvel
