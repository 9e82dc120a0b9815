#include "app/queue/ring_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace korvel {
namespace {

std::string Message(int i) { return "m" + std::to_string(i); }

void ExpectState(const RingQueue& q, size_t w, size_t r, bool full) {
  const RingQueue::State s = q.Inspect();
  EXPECT_EQ(s.write_index, w);
  EXPECT_EQ(s.read_index, r);
  EXPECT_EQ(s.full, full);
}

class BothQueues : public ::testing::TestWithParam<RingQueue::EmptyMessage> {};

TEST_P(BothQueues, ThousandAcceptedThousandFirstRefusedOrderKept) {
  RingQueue q(GetParam());
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(q.Put(Message(i))) << i;
  ExpectState(q, 0, 0, true);
  EXPECT_FALSE(q.Put(Message(1000)));
  ExpectState(q, 0, 0, true);
  for (int i = 0; i < 1000; ++i) {
    const RingQueue::Taken t = q.Take();
    ASSERT_TRUE(t.delivered) << i;
    ASSERT_EQ(t.bytes, Message(i));
  }
  ExpectState(q, 0, 0, false);
  EXPECT_FALSE(q.Take().delivered);
}

TEST_P(BothQueues, OneTakeFromFullMakesRoomForExactlyOnePut) {
  RingQueue q(GetParam());
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(q.Put(Message(i)));
  EXPECT_EQ(q.Take().bytes, Message(0));
  ExpectState(q, 0, 1, false);
  EXPECT_TRUE(q.Put("late"));
  ExpectState(q, 1, 1, true);
  EXPECT_FALSE(q.Put("later"));
  for (int i = 1; i < 1000; ++i) ASSERT_EQ(q.Take().bytes, Message(i));
  EXPECT_EQ(q.Take().bytes, "late");
  EXPECT_FALSE(q.Take().delivered);
}

TEST_P(BothQueues, IndicesWrapToSlotZero) {
  RingQueue q(GetParam());
  for (int i = 0; i < 1000; ++i) {
    ExpectState(q, static_cast<size_t>(i), static_cast<size_t>(i), false);
    ASSERT_TRUE(q.Put(Message(i)));
    ASSERT_EQ(q.Take().bytes, Message(i));
  }
  // The 1001st message of the queue's life lands in slot 0 again.
  ExpectState(q, 0, 0, false);
  ASSERT_TRUE(q.Put(Message(1000)));
  ExpectState(q, 1, 0, false);
  EXPECT_EQ(q.Take().bytes, Message(1000));
  ExpectState(q, 1, 1, false);
}

TEST_P(BothQueues, TakeOnEmptyChangesNothing) {
  RingQueue q(GetParam());
  for (int i = 0; i < 500; ++i) {
    q.Put(Message(i));
    q.Take();
  }
  ExpectState(q, 500, 500, false);
  const RingQueue::Taken t = q.Take();
  EXPECT_FALSE(t.delivered);
  EXPECT_TRUE(t.bytes.empty());
  ExpectState(q, 500, 500, false);
}

TEST_P(BothQueues, PutCopiesTheCallersBytes) {
  RingQueue q(GetParam());
  char buf[4] = {'a', '\0', 'b', 'c'};
  ASSERT_TRUE(q.Put(buf, sizeof buf));
  std::memset(buf, 'x', sizeof buf);
  EXPECT_EQ(q.Take().bytes, std::string("a\0bc", 4));
}

INSTANTIATE_TEST_SUITE_P(RingQueue, BothQueues,
                         ::testing::Values(kCoordinatorInbound, kLinkOutbound));

TEST(RingQueue, ZeroLengthMessageDiffersBetweenTheTwoQueues) {
  RingQueue inbound(kCoordinatorInbound);
  RingQueue outbound(kLinkOutbound);
  for (RingQueue* q : {&inbound, &outbound}) {
    ASSERT_TRUE(q->Put(nullptr, 0));
    ASSERT_TRUE(q->Put("next"));
  }
  // Inbound: consumed (R advances) but not delivered.
  RingQueue::Taken t = inbound.Take();
  EXPECT_FALSE(t.delivered);
  EXPECT_TRUE(t.bytes.empty());
  ExpectState(inbound, 2, 1, false);
  EXPECT_EQ(inbound.Take().bytes, "next");
  // Outbound: delivered as an empty byte string.
  t = outbound.Take();
  EXPECT_TRUE(t.delivered);
  EXPECT_TRUE(t.bytes.empty());
  ExpectState(outbound, 2, 1, false);
  EXPECT_EQ(outbound.Take().bytes, "next");
}

TEST(RingQueue, ManyProducersOneConsumer) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 3000;  // more than the capacity: producers meet a full queue
  RingQueue q(kLinkOutbound);
  std::atomic<int> refused{0};
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([p, &q, &refused] {
      for (int i = 0; i < kPerProducer; ++i) {
        const std::string m = std::to_string(p) + ":" + std::to_string(i);
        while (!q.Put(m)) {
          refused.fetch_add(1, std::memory_order_relaxed);
          std::this_thread::yield();
        }
      }
    });
  }
  std::vector<int> next(kProducers, 0);
  int received = 0;
  bool in_order = true;
  while (received < kProducers * kPerProducer) {
    const RingQueue::Taken t = q.Take();
    if (!t.delivered) {
      std::this_thread::yield();
      continue;
    }
    const size_t colon = t.bytes.find(':');
    const int p = std::stoi(t.bytes.substr(0, colon));
    const int i = std::stoi(t.bytes.substr(colon + 1));
    if (i != next[p]) in_order = false;
    next[p] = i + 1;
    ++received;
  }
  for (auto& th : producers) th.join();
  EXPECT_TRUE(in_order);  // each producer's messages leave in the order they were put
  for (int p = 0; p < kProducers; ++p) EXPECT_EQ(next[p], kPerProducer);
  EXPECT_FALSE(q.Take().delivered);
  const RingQueue::State s = q.Inspect();
  EXPECT_EQ(s.write_index, s.read_index);
  EXPECT_FALSE(s.full);
}

}  // namespace
}  // namespace korvel
