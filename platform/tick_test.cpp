#include "platform/tick.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(Tick, ElapsedIsStrictlyMoreThanThePeriod) {
  uint32_t start = 1000;
  EXPECT_FALSE(TickElapsed(6000, &start, 5000));
  EXPECT_TRUE(TickElapsed(6001, &start, 5000));
  EXPECT_EQ(start, 1000u);
  // A start tick of 0 (never attempted) elapses at once on a running clock.
  start = 0;
  EXPECT_TRUE(TickElapsed(123456, &start, 5000));
}

TEST(Tick, WrapResetsTheStartToZero) {
  // The counter wrapped past 2^32: the start is set to 0 and the time since
  // the wrap alone is compared.
  uint32_t start = 0xFFFFFF00u;
  EXPECT_FALSE(TickElapsed(100, &start, 1000));
  EXPECT_EQ(start, 0u);
  EXPECT_TRUE(TickElapsed(1001, &start, 1000));
  // A start in the future of the counter (written as now - x by another part)
  // counts as a wrap as well.
  start = 5000;
  EXPECT_TRUE(TickElapsed(4000, &start, 3000));
  EXPECT_EQ(start, 0u);
}

TEST(Tick, ClocksAgree) {
  const int64_t steady = SteadyMs();
  const uint32_t tick = TickMs();
  EXPECT_GE(steady, 0);
  // Same clock: the tick is the steady count truncated to 32 bits.
  EXPECT_LT(static_cast<uint32_t>(tick - static_cast<uint32_t>(steady)), 60000u);
  EXPECT_GE(SteadyMs(), steady);
}

TEST(FlagBit, BitsOneToEight) {
  for (int n = 1; n <= 8; ++n) {
    const auto only = static_cast<uint8_t>(1u << (n - 1));
    EXPECT_TRUE(FlagBit(only, n)) << n;
    EXPECT_FALSE(FlagBit(static_cast<uint8_t>(~only), n)) << n;
  }
  for (int n : {0, 9, -1, 100}) EXPECT_FALSE(FlagBit(0xFF, n)) << n;
}

}  // namespace
}  // namespace korvel
