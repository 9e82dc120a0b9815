// Panel1: the main window's top panel with the two view buttons; a double
// click on the panel itself toggles its height between 81 and 5 pixels.
//
// Threads: GUI thread only.
#pragma once

#include <QFrame>

namespace korvel {

class TopPanel : public QFrame {
  Q_OBJECT

 public:
  explicit TopPanel(QWidget* parent) : QFrame(parent) { setObjectName("Panel1"); }

 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent*) override { emit doubleClicked(); }
};

}  // namespace korvel
