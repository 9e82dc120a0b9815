// The archive player's progress bar "ProgressBar1": a QProgressBar that
// reports where a mouse button was pressed on it, in its own coordinates,
// so the view can seek there.
// Threads: GUI thread only.
#pragma once

#include <QMouseEvent>
#include <QProgressBar>

namespace korvel {

class SeekProgressBar : public QProgressBar {
  Q_OBJECT

 public:
  using QProgressBar::QProgressBar;

 signals:
  // Any mouse button, at x pixels from the bar's left edge.
  void pressedAt(int x);

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    emit pressedAt(static_cast<int>(event->position().x()));
    event->accept();
  }
};

}  // namespace korvel
