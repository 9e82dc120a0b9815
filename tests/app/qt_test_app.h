// One QApplication for a test binary, on the offscreen platform.
#pragma once

#include <QApplication>
#include <QCoreApplication>

#include <cstdlib>

namespace korvel {

inline QApplication* EnsureQtApp() {
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return app;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "korvel_test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: a static QApplication would be torn down after Qt's
  // own statics at exit.
  static QApplication* app = new QApplication(argc, argv);
  return app;
}

}  // namespace korvel
