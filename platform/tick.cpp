#include "platform/tick.h"

#include <time.h>

namespace korvel {

int64_t SteadyMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

uint32_t TickMs() { return static_cast<uint32_t>(SteadyMs()); }

bool TickElapsed(uint32_t now, uint32_t* start, uint32_t period_ms) {
  if (now < *start) *start = 0;  // the counter wrapped: count from 0
  return now - *start > period_ms;
}

bool FlagBit(uint8_t byte, int n) {
  if (n < 1 || n > 8) return false;
  return ((byte >> (n - 1)) & 1) != 0;
}

}  // namespace korvel
