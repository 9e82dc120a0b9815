#include "video/player/video_player.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace korvel {

VideoPlayer::VideoPlayer(QWidget* parent) : QWidget(parent) {
  // Frames are painted over the whole widget; black where there is none.
  setAutoFillBackground(true);
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
}

VideoPlayer::~VideoPlayer() = default;

void VideoPlayer::mousePressEvent(QMouseEvent* event) {
  emit mouseDown(event->button(), event->position().toPoint());
  QWidget::mousePressEvent(event);
}

void VideoPlayer::mouseDoubleClickEvent(QMouseEvent* event) {
  // Not passed on: the base class would report it as one more press.
  event->accept();
  emit doubleClicked();
}

void VideoPlayer::SetFullScreen(int monitor_index) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  QScreen* screen = (monitor_index >= 0 && monitor_index < screens.size())
                        ? screens[monitor_index]
                        : QGuiApplication::primaryScreen();
  if (!full_screen_) {
    tile_parent_ = parentWidget();
    tile_geometry_ = geometry();
    tile_was_visible_ = isVisible();
    // A child widget cannot be full screen; it becomes a window of its own
    // (still owned by the wall) until ExitFullScreen.
    setWindowFlags(windowFlags() | Qt::Window);
  }
  full_screen_ = true;
  if (screen != nullptr) {
    create();
    if (windowHandle() != nullptr) windowHandle()->setScreen(screen);
    setGeometry(screen->geometry());
  }
  showFullScreen();
  raise();
  activateWindow();
}

void VideoPlayer::ExitFullScreen() {
  if (!full_screen_) return;
  full_screen_ = false;
  showNormal();
  setWindowFlags((windowFlags() & ~Qt::Window) | Qt::Widget);
  if (parentWidget() != tile_parent_) setParent(tile_parent_);
  setGeometry(tile_geometry_);
  setVisible(tile_was_visible_);
}

}  // namespace korvel
