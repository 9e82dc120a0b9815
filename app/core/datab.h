// The coordinator thread `datab`: the hub between the link thread, the
// replicated tables and the main window.
//
// It owns the table registry (with the positions of "video" and "videor")
// and the table lock, the coordinator inbound queue, the probe thread
// `pingc` and the link thread `cl`; it carries the state the link and the
// main window share: the archive date and entry, the activity counter and
// the server settings block.
//
// Start (coordinator thread): calibration sleep of one second (it delays the
// link's start), probe thread, LoadArchiveYear and the year label (on the
// main thread), link thread (Enabled, started), VideoPlace, pending list;
// then the loop: drain the inbound queue (dispatch on the low byte of the
// code; 187 = close request), the 1000 ms job (expire pending probes,
// reconcile), the 50 ms probe job, the FlagRefresh check of "videor". An
// idle pass waits until the next job is due, or until it is woken by what
// would make the next pass busy: a message put into the inbound queue, or a
// table change applied by the link (which may set FlagRefresh). So idle
// polling costs a wake-up per due job instead of one per millisecond, and
// nothing is noticed later than a polling loop would notice it.
//
// Stop: RequestTerminate; the loop ends at its next pass; the coordinator
// wakes the probe thread, shuts the link's socket down, joins both (the
// main thread keeps serving hand-offs meanwhile: WaitForEnd), and only then
// releases tables, locks and queues.
//
// Locks, outermost first: the table lock (registry and every table), then
// the coordinator queue lock or the link queue lock (inside one queue
// operation only). No lock is held across a call onto the main thread.
//
// Threads: Start, WaitForEnd, LoadArchiveYear, the archive accessors: main
// thread. PutInbound, RequestTerminate, link(), activity_counter(),
// ServerSettings(), ServerSettingsReceived(), video_place(): any thread.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/core/main_window_port.h"
#include "app/core/periodic_job.h"
#include "app/core/pingc.h"
#include "app/core/probe_scheduler.h"
#include "app/core/request_reconciler.h"
#include "app/queue/ring_queue.h"
#include "link/session/cl.h"
#include "link/session/link_host.h"
#include "platform/date_time.h"
#include "platform/thread_annotations.h"
#include "video/archive/archive_entry.h"

namespace korvel {

class datab : public LinkHost {
 public:
  struct Options {
    // Working folder with a trailing '/': korvel.ini, data.log, temp/.
    std::string base_dir = "./";
    // The calibration sleep at start (it delays the link's start).
    int calibration_ms = 1000;
    int probe_connect_timeout_ms = pingc::kDefaultConnectTimeoutMs;
    // The link's options; its base_dir is set from base_dir.
    cl::Options link;
    // Monotonic milliseconds for the loop's jobs and the pending list
    // (SteadyMs when empty); tests may move it by hand.
    std::function<int64_t()> clock_ms;
  };

  static constexpr int64_t kReconcilePeriodMs = 1000;
  static constexpr int64_t kProbePeriodMs = 50;

  datab(MainWindowPort& window, Options options);
  // Terminates and joins the thread if the owner has not. The owner on the
  // main thread calls WaitForEnd first: a coordinator still running may be
  // waiting for a main-thread hand-off, which a bare join would never serve.
  ~datab() override;
  datab(const datab&) = delete;
  datab& operator=(const datab&) = delete;

  // ---- owner (main thread) ----
  void Start();
  void RequestTerminate();
  // True once the coordinator thread has finished (links joined, tables
  // released).
  bool Finished() const { return finished_.load(); }
  // Waits for the coordinator thread to end, calling `serve` (the main
  // window's event pump, which runs pending hand-offs) between short waits;
  // then joins it.
  void WaitForEnd(const std::function<void()>& serve);

  // ---- any thread ----

  // Puts a byte message (a close request) into the coordinator inbound
  // queue. False when the queue is full or the coordinator is not running.
  bool PutInbound(std::string_view message);
  // The link thread, or nullptr before the coordinator has created it
  // (about one second after Start) and after it has ended.
  cl* link() const { return link_ptr_.load(); }
  uint8_t activity_counter() const { return activity_.load(); }
  // The server settings block (512 bytes, zero until the first one arrives).
  std::array<uint8_t, 512> ServerSettings() const;
  bool ServerSettingsReceived() const { return settings_received_.load(); }
  int32_t video_place() const { return video_place_.load(); }

  // ---- the archive (main thread; see video/archive/archive_entry.h) ----

  // The archive entry: its date, arrays, rows and dirty flag. Lives as long
  // as the coordinator object.
  ArchiveEntry& archive() { return archive_; }
  // Loads the files of the archive date's year into the entry.
  void LoadArchiveYear();
  // The year of the archive date (the current year if it does not decode).
  int ArchiveYear() const;

  // ---- LinkHost (see link/session/link_host.h) ----
  void RunOnMainThread(std::function<void()> work) override;
  void SetLinkUp(bool up) override;
  void ActivityTick() override;
  void RepaintStatus() override;
  void ReloadArchiveYear() override;
  void ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks) override;
  void StoreServerSettings(std::string_view block) override;
  size_t LoadSnapshot(std::string_view bytes) override;
  void ApplyRecordUpdate(std::string_view payload) override;
  int ApplyEditDone(std::string_view table_name) override;
  void AddTables(std::string_view list_text) override;
  void ResetTables() override;
  void ApplyDeletionNotice(const std::string& table_name, int32_t n_abs) override;
  bool ArchiveSizesForPoll(ArchiveSizes* out) override;

 private:
  class Tables;  // TableAccess over the table registry (datab_tables.cpp)

  void Run();
  void StartUp();
  void Loop();
  void ShutDown();
  int64_t NowMs() const;

  // Dispatch of one inbound message by the low byte of its code.
  void Dispatch(std::string_view message);
  // Table send hook: queue the change on the link, then advance the poll.
  void SendTableChange(uint32_t command, std::string_view data);
  std::unique_ptr<Tables> MakeTables();
  bool CameraTablePresent();
  // Reads and clears FlagRefresh of "videor" (false while it is absent).
  bool TakeRequestsRefresh();
  // Wakes an idle pass at once.
  void Wake();
  // Waits up to wait_ms for Wake or RequestTerminate.
  void WaitIdle(int64_t wait_ms);
  // Releases every table (shutdown; the link's reset).
  void ReleaseTables() KORVEL_REQUIRES(table_lock_);

  MainWindowPort& window_;
  Options options_;

  // Table lock: the registry and every table in it.
  Mutex table_lock_;
  std::unique_ptr<Tables> tables_;

  RingQueue inbound_{kCoordinatorInbound};

  std::atomic<bool> terminate_{false};
  std::atomic<bool> finished_{false};
  std::mutex wake_mu_;
  std::condition_variable wake_cv_;
  bool wake_ = false;  // guarded by wake_mu_
  std::thread thread_;

  std::unique_ptr<pingc> probe_;
  std::unique_ptr<cl> link_;
  std::atomic<cl*> link_ptr_{nullptr};

  // Coordinator thread only.
  std::unique_ptr<RequestReconciler> reconciler_;
  std::unique_ptr<ProbeScheduler> prober_;
  int64_t pass_counter_ = 0;

  std::atomic<int32_t> video_place_{1};
  std::atomic<uint8_t> activity_{0};

  ArchiveEntry archive_;

  mutable std::mutex settings_mu_;
  std::array<uint8_t, 512> settings_block_{};  // guarded by settings_mu_
  std::atomic<bool> settings_received_{false};
};

}  // namespace korvel
