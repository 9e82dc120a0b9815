// ReconnectBackoff: the delays between attempts to reach a camera that is
// down: 1 s, 2 s, 4 s, 8 s, 16 s, then 30 s for as long as it stays down, so
// a wall of dead cameras never turns into a storm of connection attempts.
// A stream that has delivered frames again starts the series anew.
//
// Threads: not synchronised; owned and used by one thread.
#pragma once

namespace korvel {

class ReconnectBackoff {
 public:
  static constexpr int kFirstDelayMs = 1000;
  static constexpr int kMaxDelayMs = 30000;

  // The delay before the next attempt; each call doubles the next one, up to
  // kMaxDelayMs.
  int NextDelayMs() {
    const int delay = next_ms_;
    next_ms_ = next_ms_ >= kMaxDelayMs / 2 ? kMaxDelayMs : next_ms_ * 2;
    return delay;
  }
  void Reset() { next_ms_ = kFirstDelayMs; }

 private:
  int next_ms_ = kFirstDelayMs;
};

}  // namespace korvel
