#include "app/core/pingc.h"

#include <pthread.h>

#include "link/session/stoppable_connect.h"

namespace korvel {

pingc::pingc(int connect_timeout_ms) : connect_timeout_ms_(connect_timeout_ms) {}

pingc::~pingc() {
  RequestTerminate();
  Join();
}

void pingc::Start() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

bool pingc::Waiting() const {
  std::lock_guard<std::mutex> lock(mu_);
  return !busy_;
}

pingc::Target pingc::target() const {
  std::lock_guard<std::mutex> lock(mu_);
  return target_;
}

bool pingc::GiveTarget(Target target) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (busy_ || terminate_) return false;
    target_ = std::move(target);
    busy_ = true;
  }
  cv_.notify_one();
  return true;
}

void pingc::RequestTerminate() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    terminate_ = true;
  }
  stop_.store(true);
  cv_.notify_one();
}

void pingc::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void pingc::Run() {
  pthread_setname_np(pthread_self(), "pingc");
  while (true) {
    ConnectTarget to;
    {
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [this] { return terminate_ || busy_; });
      if (terminate_) return;
      to.host = target_.host;
      to.port = target_.port;
    }
    finished_.store(false);
    reachable_.store(false);
    bool reachable = false;
    try {
      Socket s = ConnectStoppable(to, connect_timeout_ms_, HostLookup::kAllowNames, &stop_);
      reachable = s.valid();
      // The socket closes at the end of this scope: connect, then disconnect.
    } catch (...) {
      reachable = false;
    }
    reachable_.store(reachable);
    {
      std::lock_guard<std::mutex> lock(mu_);
      finished_.store(true);
      busy_ = false;
    }
  }
}

}  // namespace korvel
