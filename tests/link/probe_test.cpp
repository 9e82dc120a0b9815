#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/core/pending_probes.h"
#include "app/core/periodic_job.h"
#include "app/core/pingc.h"
#include "app/core/probe_scheduler.h"
#include "fake_tables.h"
#include "fake_window.h"
#include "link/wire/tcp_socket.h"

namespace korvel {
namespace {

using test::FakeTables;
using test::FakeWindow;

bool WaitFinished(pingc& p) {
  return FakeWindow::WaitFor([&] { return p.Finished() && p.Waiting(); }, 5000);
}

uint16_t ClosedPort() {
  uint16_t port = 0;
  Socket s = ListenTcp("127.0.0.1", 0, 1, &port);
  return port;  // closed again when s goes
}

TEST(PingcTest, ProbesOneTargetAtATime) {
  uint16_t open_port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 4, &open_port);
  pingc probe(2000);
  probe.Start();
  EXPECT_TRUE(probe.Waiting());
  // A target given before the thread has begun to wait is not lost.
  ASSERT_TRUE(probe.GiveTarget({"127.0.0.1", open_port, 5}));
  ASSERT_TRUE(WaitFinished(probe));
  EXPECT_TRUE(probe.Reachable());
  EXPECT_EQ(probe.target().n_obj, 5);

  const struct {
    const char* what;
    pingc::Target target;
  } unreachable[] = {
      {"closed port", {"127.0.0.1", ClosedPort(), 1}},
      {"port 0", {"127.0.0.1", 0, 1}},
      {"port 70000", {"127.0.0.1", 70000, 1}},
      {"no address", {"", 80, 1}},
  };
  for (const auto& c : unreachable) {
    probe.ClearFinished();
    ASSERT_TRUE(probe.GiveTarget(c.target)) << c.what;
    ASSERT_TRUE(WaitFinished(probe)) << c.what;
    EXPECT_FALSE(probe.Reachable()) << c.what;
  }
}

TEST(PingcTest, TerminateCutsAConnectShort) {
  // A listener whose accept queue is full drops further connection
  // requests, so a connect to it waits out its timeout.
  uint16_t port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 0, &port);
  std::vector<Socket> fillers;
  for (int i = 0; i < 4; ++i) fillers.push_back(ConnectTcp("127.0.0.1", port, 200));
  pingc probe(10000);
  probe.Start();
  ASSERT_TRUE(probe.GiveTarget({"127.0.0.1", port, 1}));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(probe.Finished());  // still connecting
  probe.RequestTerminate();
  probe.Join();  // returns without waiting out the 10 s connect
}

TEST(PendingProbesTest, EntriesKeyOnTheCameraAndExpireAfter20s) {
  PendingProbes pending;
  DateTime at = 0;
  ASSERT_TRUE(EncodeDateTime({2026, 5, 4, 10, 0, 0, 0}, &at));
  pending.Add(12, "10.0.0.5", at, 1000);
  ASSERT_EQ(pending.entries().size(), 1u);
  EXPECT_EQ(pending.entries()[0].text, "04.05.2026 10:00:20#12@10.0.0.5");
  EXPECT_TRUE(pending.Contains(12, "10.0.0.5"));
  EXPECT_FALSE(pending.Contains(12, "10.0.0.6"));
  EXPECT_FALSE(pending.Contains(1, "10.0.0.5"));
  pending.Expire(21000);
  EXPECT_TRUE(pending.Contains(12, "10.0.0.5"));
  pending.Expire(21001);
  EXPECT_FALSE(pending.Contains(12, "10.0.0.5"));
}

TEST(PeriodicJobTest, FiresAfterThePeriodAndDoesNotCatchUp) {
  PeriodicJob job(1000, 0);
  EXPECT_FALSE(job.Due(0));
  EXPECT_FALSE(job.Due(1000));  // more than the period is needed
  EXPECT_TRUE(job.Due(1001));
  EXPECT_FALSE(job.Due(1500));
  EXPECT_TRUE(job.Due(4100));   // a pass that took 3 s: once...
  EXPECT_FALSE(job.Due(4200));  // ... not three times
  // What an idle pass waits for: until the job would fire.
  EXPECT_EQ(job.RemainingMs(4200), 901);
  EXPECT_EQ(job.RemainingMs(5101), 0);
  EXPECT_EQ(job.RemainingMs(9000), 0);
}

class ProbeSchedulerTest : public ::testing::Test {
 protected:
  ProbeSchedulerTest() {
    EXPECT_TRUE(EncodeDateTime({2026, 5, 4, 10, 0, 0, 0}, &now_));
    probe_.Start();
  }
  // Steps until the probe has finished and its result was collected.
  void StepUntilCollected() {
    scheduler_.Step();  // starts
    ASSERT_TRUE(WaitFinished(probe_));
    scheduler_.Step();  // collects
  }
  static CameraRecord Cam(int32_t n_obj, const std::string& ip, int32_t port, DateTime last = 0) {
    return {n_obj, ip, port, last};
  }

  Mutex lock_;
  FakeTables tables_;
  pingc probe_{2000};
  DateTime now_ = 0;
  int64_t now_ms_ = 100000;
  ProbeScheduler scheduler_{lock_, tables_, probe_, [this] { return now_ms_; },
                            [this] { return now_; }};
};

TEST_F(ProbeSchedulerTest, ReachableCameraGetsBothTimesAndEqualCamerasBoth) {
  uint16_t port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 4, &port);
  tables_.cameras = {Cam(3, "127.0.0.1", port), Cam(4, "127.0.0.1", port, now_),
                     Cam(3, "127.0.0.1", port, now_)};
  StepUntilCollected();
  ASSERT_EQ(tables_.writes.size(), 2u);  // records 1 and 3 share n_obj and ip
  EXPECT_EQ(tables_.writes[0].record, 1);
  EXPECT_EQ(tables_.writes[1].record, 3);
  EXPECT_TRUE(tables_.writes[0].reachable);
  EXPECT_EQ(tables_.writes[0].when, now_);
}

TEST_F(ProbeSchedulerTest, ClosedPortGetsOnlyLasttime) {
  tables_.cameras = {Cam(3, "127.0.0.1", ClosedPort())};
  StepUntilCollected();
  ASSERT_EQ(tables_.writes.size(), 1u);
  EXPECT_FALSE(tables_.writes[0].reachable);
}

TEST_F(ProbeSchedulerTest, DueCamerasAreEachProbedOnceWithin20s) {
  const uint16_t closed = ClosedPort();
  tables_.cameras = {Cam(1, "127.0.0.1", closed), Cam(2, "127.0.0.1", closed),
                     Cam(3, "127.0.0.1", closed, now_)};  // camera 3 is not due
  std::vector<int32_t> probed;
  for (int i = 0; i < 4; ++i) {
    scheduler_.Step();
    if (!probe_.Waiting() || probe_.Finished()) {
      ASSERT_TRUE(WaitFinished(probe_));
      probed.push_back(probe_.target().n_obj);
      scheduler_.Step();  // collect; the write-back has not come back yet
    }
  }
  // The local lasttime is still 0 (the server's update has not come back),
  // yet each camera is probed once: its own pending entry skips it.
  EXPECT_EQ(probed, (std::vector<int32_t>{1, 2}));
  now_ms_ += 20001;
  scheduler_.ExpirePending();
  scheduler_.Step();
  ASSERT_TRUE(WaitFinished(probe_));
  EXPECT_EQ(probe_.target().n_obj, 1);  // due again once its entry expired
}

TEST_F(ProbeSchedulerTest, NothingStartsWithoutDueCameras) {
  tables_.cameras = {Cam(1, "127.0.0.1", 1, now_ - 38.0 / 86400)};
  scheduler_.Step();
  EXPECT_TRUE(probe_.Waiting());
  EXPECT_FALSE(probe_.Finished());
  tables_.cameras.clear();
  scheduler_.Step();
  EXPECT_TRUE(probe_.Waiting());
  EXPECT_TRUE(scheduler_.pending().entries().empty());
}

}  // namespace
}  // namespace korvel
