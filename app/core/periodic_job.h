// A periodic job of the coordinator loop: it fires when more than its period
// has passed since its reference reading, and then takes a fresh reference,
// so a late pass fires it once and periods do not catch up.
//
// Threads: one owner thread.
#pragma once

#include <cstdint>

namespace korvel {

class PeriodicJob {
 public:
  PeriodicJob(int64_t period_ms, int64_t now_ms) : period_ms_(period_ms), reference_ms_(now_ms) {}

  // True (and a new reference) when more than the period has passed.
  bool Due(int64_t now_ms) {
    if (now_ms - reference_ms_ <= period_ms_) return false;
    reference_ms_ = now_ms;
    return true;
  }

  // Milliseconds until Due will answer true (0 when it would now).
  int64_t RemainingMs(int64_t now_ms) const {
    const int64_t left = reference_ms_ + period_ms_ + 1 - now_ms;
    return left > 0 ? left : 0;
  }

 private:
  int64_t period_ms_;
  int64_t reference_ms_;
};

}  // namespace korvel
