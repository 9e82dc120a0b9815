#include "app/gui/status_bar.h"

#include <QPainter>

#include "video/wall/wall_geometry.h"

namespace korvel {

StatusBar::StatusBar(QWidget* parent, std::function<StatusView()> source)
    : QWidget(parent), source_(std::move(source)) {
  setObjectName("StatusBar1");
  setFixedHeight(kHeightPx);
  setAutoFillBackground(true);
}

void StatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const StatusView view = source_ ? source_() : StatusView{};
  DrawPanel(painter, 0, QRect(0, 0, kPanel0WidthPx, height()), view);
  DrawPanel(painter, 1, QRect(kPanel0WidthPx + 2, 0, width() - kPanel0WidthPx - 2, height()),
            view);
}

void StatusBar::DrawPanel(QPainter& painter, int panel, const QRect& rect,
                          const StatusView& view) const {
  // Left/Top/Right/Bottom as the toolkit's rectangles count them: Right and
  // Bottom one past the last pixel.
  const int left = rect.left();
  const int top = rect.top();
  const int right = rect.left() + rect.width();
  const int bottom = rect.top() + rect.height();
  if (panel == 0) {
    if (!view.link_exists) return;
    painter.fillRect(rect, palette().color(QPalette::Window));
    const QColor color = view.connected ? QColor(0, 128, 0) : QColor(255, 0, 0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 2));
    painter.drawRect(QRect(QPoint(left, top + 3), QPoint(right - 1, bottom - 2)));
    painter.setPen(QPen(color, 1));
    for (int p : IndicatorMarkOffsets(view.activity)) {
      // A line from (x, Top + 5) to (x, Bottom - 4), its end point excluded.
      painter.drawLine(QPoint(left + p, top + 5), QPoint(left + p, bottom - 5));
    }
    return;
  }
  painter.setPen(palette().color(QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(QRect(left + 2, top - 1, rect.width() - 2, rect.height() + 1),
                   Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("Пароль на закрытие - ") + view.password);
}

}  // namespace korvel
