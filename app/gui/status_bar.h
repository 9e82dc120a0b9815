// StatusBar1: the main window's status bar, both panels drawn by the
// program. Panel 0 (20 pixels) is the link indicator: a frame, green while
// the link is connected and red while not, with a five-pixel activity mark
// that steps one pixel per activity tick; it stays blank until the link
// thread exists. Panel 1 (the rest of the bar) shows "Пароль на закрытие - "
// and the close password.
//
// Threads: GUI thread only; the state comes from a function the window
// gives, read at each paint.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace korvel {

struct StatusView {
  bool link_exists = false;
  bool connected = false;
  int activity = 0;  // 0..15
  QString password;
};

class StatusBar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeightPx = 19;
  static constexpr int kPanel0WidthPx = 20;

  StatusBar(QWidget* parent, std::function<StatusView()> source);

  // Draw status panel 0 or 1 into `rect` (public for tests).
  void DrawPanel(QPainter& painter, int panel, const QRect& rect, const StatusView& view) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::function<StatusView()> source_;
};

}  // namespace korvel
