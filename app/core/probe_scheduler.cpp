#include "app/core/probe_scheduler.h"

#include <chrono>

namespace korvel {

ProbeScheduler::ProbeScheduler(Mutex& table_lock, TableAccess& tables, pingc& probe,
                               std::function<int64_t()> now_ms, std::function<DateTime()> now)
    : table_lock_(table_lock),
      tables_(tables),
      probe_(probe),
      now_ms_(std::move(now_ms)),
      now_(std::move(now)),
      random_(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count())) {
  interval_s_ = DrawInterval();
}

uint8_t ProbeScheduler::DrawInterval() {
  return static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 19)(random_) + 39);
}

void ProbeScheduler::ExpirePending() { pending_.Expire(now_ms_()); }

void ProbeScheduler::Step() {
  if (!probe_.Waiting()) return;
  if (probe_.Finished()) {
    Collect();
  } else {
    StartProbe();
  }
}

void ProbeScheduler::Collect() {
  probe_.ClearFinished();
  const pingc::Target target = probe_.target();
  const bool reachable = probe_.Reachable();
  const DateTime when = now_();
  for (int r = 1;; ++r) {
    MutexLock lock(table_lock_);
    if (!tables_.CamerasPresent() || r > tables_.CameraCount()) return;
    try {
      CameraRecord camera;
      if (!tables_.ReadCamera(r, &camera)) continue;
      if (camera.n_obj == target.n_obj && camera.ip == target.host) {
        tables_.WriteProbeResult(r, when, reachable);
      }
    } catch (...) {
      // One bad record never blocks the others.
    }
  }
}

void ProbeScheduler::StartProbe() {
  const DateTime now = now_();
  CameraRecord chosen;
  bool found = false;
  {
    MutexLock lock(table_lock_);
    if (!tables_.CamerasPresent()) return;
    const int count = tables_.CameraCount();
    for (int r = 1; r <= count; ++r) {
      CameraRecord camera;
      try {
        if (!tables_.ReadCamera(r, &camera)) continue;
      } catch (...) {
        continue;
      }
      const bool due = camera.lasttime == 0 || camera.lasttime + interval_s_ / 86400.0 < now;
      if (!due) continue;
      interval_s_ = DrawInterval();
      if (pending_.Contains(camera.n_obj, camera.ip)) continue;
      chosen = std::move(camera);
      found = true;
      break;
    }
  }
  if (!found) return;
  if (probe_.GiveTarget({chosen.ip, chosen.port, chosen.n_obj})) {
    pending_.Add(chosen.n_obj, chosen.ip, now, now_ms_());
  }
}

}  // namespace korvel
