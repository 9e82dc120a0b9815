// Camera probing, the coordinator's side: every 50 ms, while the probe
// thread waits, either collect its result or start the next probe.
//
// Collect: for every camera record whose n_obj and ip equal the finished
// target, Edit, lasttime := now (and ltime := now when it connected), Post;
// each write-back holds the table lock from Edit to Post, and the table is
// looked up afresh for each record (a record number beyond Count ends it).
// A failure in one record is contained there.
//
// Start: the first record (1..Count) that is due (lasttime + the probe
// interval earlier than now, or lasttime zero) draws a new interval (39..58
// s); unless that camera's own (n_obj, ip) has a pending probe, it becomes
// the target, the probe thread is woken and a pending entry expiring 20 s
// later is added. At most one probe starts per step.
//
// Threads: the coordinator thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <random>

#include "app/core/pending_probes.h"
#include "app/core/pingc.h"
#include "app/core/table_access.h"
#include "platform/thread_annotations.h"

namespace korvel {

class ProbeScheduler {
 public:
  // `now_ms`: the monotonic clock of the pending list; `now`: the wall clock
  // written into the table.
  ProbeScheduler(Mutex& table_lock, TableAccess& tables, pingc& probe,
                 std::function<int64_t()> now_ms, std::function<DateTime()> now);

  void Step() KORVEL_EXCLUDES(table_lock_);
  // Drops the pending entries whose expiry has passed (every 1000 ms).
  void ExpirePending();

  uint8_t interval_s() const { return interval_s_; }
  const PendingProbes& pending() const { return pending_; }

 private:
  void Collect();
  void StartProbe();
  uint8_t DrawInterval();

  Mutex& table_lock_;
  TableAccess& tables_;
  pingc& probe_;
  std::function<int64_t()> now_ms_;
  std::function<DateTime()> now_;
  std::mt19937 random_;
  uint8_t interval_s_;
  PendingProbes pending_;
};

}  // namespace korvel
