// The probe thread `pingc`: one TCP connect probe at a time.
//
//   waiting --GiveTarget--> probing --result set--> waiting (finished)
//
// The coordinator gives a target only while the thread waits, polls
// Waiting()/Finished() every 50 ms, and reads Reachable() and target() once
// Finished() is set and the thread waits again. A target given before the
// thread has begun to wait is not lost (it is a flag under the lock, not a
// signal).
//
// A probe is a connect with a bounded wait (10 s by default; the system's own
// default would be about two minutes), closed at once when it succeeds. A
// port outside 1..65535 or an unreadable host is unreachable without a
// connect. RequestTerminate wakes a waiting thread and cuts a running connect
// short (within about 50 ms); Join then returns promptly.
//
// Threads: GiveTarget, ClearFinished, RequestTerminate, Join: the owner (the
// coordinator thread). The getters: any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace korvel {

class pingc {
 public:
  struct Target {
    std::string host;  // the camera's `ip`
    int32_t port = 0;  // its `port`
    int32_t n_obj = 0; // its object number
  };

  static constexpr int kDefaultConnectTimeoutMs = 10000;

  explicit pingc(int connect_timeout_ms = kDefaultConnectTimeoutMs);
  ~pingc();
  pingc(const pingc&) = delete;
  pingc& operator=(const pingc&) = delete;

  // Starts the thread, which goes straight to waiting.
  void Start();

  // No probe is running and none is asked for.
  bool Waiting() const;
  // A result is waiting to be collected.
  bool Finished() const { return finished_.load(); }
  void ClearFinished() { finished_.store(false); }
  // The result of the last probe: the connection was made.
  bool Reachable() const { return reachable_.load(); }
  // The last target; kept after the probe until the next one is given.
  Target target() const;

  // Sets the target and wakes the thread. False (nothing changes) while a
  // probe is asked for or running, or after RequestTerminate.
  bool GiveTarget(Target target);

  void RequestTerminate();
  void Join();

 private:
  void Run();

  const int connect_timeout_ms_;
  mutable std::mutex mu_;
  std::condition_variable cv_;
  Target target_;          // guarded by mu_
  bool busy_ = false;      // guarded by mu_: a target was given, result not yet set
  bool terminate_ = false; // guarded by mu_
  std::atomic<bool> stop_{false};  // read by the connect between its waits
  std::atomic<bool> finished_{false};
  std::atomic<bool> reachable_{false};
  std::thread thread_;
};

}  // namespace korvel
