// The main-thread call: a worker thread has a procedure run on the GUI
// thread and waits until it has run (a blocking queued invocation). On the
// GUI thread itself the procedure runs at once.
//
// The GUI thread serves these calls in every event loop it runs: the main
// loop, modal dialogs, and the pump of the main window's destruction while
// it waits for the coordinator to end.
//
// Threads: Run from any thread; the object lives on the GUI thread.
#pragma once

#include <QObject>

#include <functional>

namespace korvel {

class MainThreadCall : public QObject {
  Q_OBJECT

 public:
  explicit MainThreadCall(QObject* parent = nullptr) : QObject(parent) {}
  // Exceptions are caught inside: a failing procedure never unwinds into
  // the event loop or the waiting worker.
  void Run(const std::function<void()>& work);
};

}  // namespace korvel
