// The caption panel laid over the top edge of a tile's player: the object
// and the camera in green (live) or red (not live) while the message server
// is reachable, or a red cover over the whole tile with the white notice
// "Нет связи с сервером сообщений" while it is not.
//
// Threads: GUI thread only.
#pragma once

#include <QColor>
#include <QLabel>

#include "video/wall/wall_geometry.h"

namespace korvel {

class CaptionPanel : public QLabel {
  Q_OBJECT

 public:
  static const QColor kGreen;  // RGB (0, 128, 0)
  static const QColor kRed;    // RGB (255, 0, 0)

  explicit CaptionPanel(QWidget* parent);

  // Show tile caption: places the panel over `player` and gives it the look
  // of the link state. `text` is "nameobj - name" (UTF-8); `live` picks the
  // text colour while the link is up.
  void ShowFor(const TileRect& player, bool link_up, const QString& text, bool live);

  // The text colour alone (a tile event between two layouts).
  void SetTextColor(const QColor& color);
  QColor TextColor() const;
  QColor BackgroundColor() const;
  int FontPoints() const { return font_points_; }

 private:
  int font_points_ = 0;
};

}  // namespace korvel
