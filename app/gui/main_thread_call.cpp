#include "app/gui/main_thread_call.h"

#include <QMetaObject>
#include <QThread>

namespace korvel {

namespace {
void RunCaught(const std::function<void()>& work) {
  try {
    work();
  } catch (...) {
    // Failures inside a hand-off are swallowed where they occur.
  }
}
}  // namespace

void MainThreadCall::Run(const std::function<void()>& work) {
  if (QThread::currentThread() == thread()) {
    RunCaught(work);
    return;
  }
  QMetaObject::invokeMethod(this, [&work] { RunCaught(work); }, Qt::BlockingQueuedConnection);
}

}  // namespace korvel
