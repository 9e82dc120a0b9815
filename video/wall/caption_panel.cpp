#include "video/wall/caption_panel.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

namespace korvel {

const QColor CaptionPanel::kGreen = QColor(0, 128, 0);
const QColor CaptionPanel::kRed = QColor(255, 0, 0);

CaptionPanel::CaptionPanel(QWidget* parent) : QLabel(parent) {
  setAutoFillBackground(true);
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  // Presses fall through to the player below (tile menu, double click).
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CaptionPanel::ShowFor(const TileRect& player, bool link_up, const QString& text,
                           bool live) {
  const CaptionGeometry g = CaptionForPlayer(player, link_up);
  font_points_ = g.font_points;
  QFont f = font();
  f.setPointSize(std::max(1, g.font_points));  // a toolkit font needs one point at least
  setFont(f);
  QPalette pal = palette();
  if (link_up) {
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    pal.setColor(QPalette::WindowText, live ? kGreen : kRed);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setText(text);
  } else {
    pal.setColor(QPalette::Window, kRed);
    pal.setColor(QPalette::WindowText, Qt::white);
    setAlignment(Qt::AlignCenter);
    setText(QStringLiteral("Нет связи с сервером сообщений"));
  }
  setPalette(pal);
  setGeometry(g.rect.left, g.rect.top, std::max(0, g.rect.width), std::max(0, g.rect.height));
  setVisible(true);
  raise();
}

void CaptionPanel::SetTextColor(const QColor& color) {
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, color);
  setPalette(pal);
}

QColor CaptionPanel::TextColor() const { return palette().color(QPalette::WindowText); }
QColor CaptionPanel::BackgroundColor() const { return palette().color(QPalette::Window); }

}  // namespace korvel
