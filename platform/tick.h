// Millisecond clocks.
//
// TickMs: one process-wide 32-bit millisecond counter, the monotonic clock's
// milliseconds since boot truncated to 32 bits; it wraps after ~49.7 days.
// SteadyMs: the same clock as a 64-bit count, for periods that never wrap.
#pragma once

#include <cstdint>

namespace korvel {

uint32_t TickMs();
int64_t SteadyMs();

// The timer test of the link: "more than period_ms since *start". When the
// counter is below *start (the counter wrapped), *start is first set to 0;
// then the unsigned difference now - *start is compared with period_ms.
bool TickElapsed(uint32_t now, uint32_t* start, uint32_t period_ms);

// Bit n - 1 of a byte for n in 1..8; false for any other n.
bool FlagBit(uint8_t byte, int n);

}  // namespace korvel
