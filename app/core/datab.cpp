#include "app/core/datab.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "app/core/close_request.h"
#include "app/core/datab_tables.h"
#include "link/session/archive_chunk.h"
#include "platform/byte_io.h"
#include "platform/settings.h"
#include "platform/tick.h"

namespace korvel {

datab::datab(MainWindowPort& window, Options options)
    : window_(window),
      options_(std::move(options)) {
  options_.link.base_dir = options_.base_dir;
  tables_ = MakeTables();
}

datab::~datab() {
  RequestTerminate();
  if (thread_.joinable()) thread_.join();
  // The link and probe threads were joined by the coordinator thread; their
  // objects live until here, so the main window may read link() to the end.
  link_ptr_.store(nullptr);
  link_.reset();
  probe_.reset();
}

void datab::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void datab::RequestTerminate() {
  terminate_.store(true);
  Wake();
}

void datab::Wake() {
  {
    std::lock_guard<std::mutex> lock(wake_mu_);
    wake_ = true;
  }
  wake_cv_.notify_one();
}

void datab::WaitIdle(int64_t wait_ms) {
  std::unique_lock<std::mutex> lock(wake_mu_);
  wake_cv_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                    [this] { return wake_ || terminate_.load(); });
  wake_ = false;
}

void datab::WaitForEnd(const std::function<void()>& serve) {
  while (!finished_.load()) {
    if (serve) serve();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (thread_.joinable()) thread_.join();
}

int64_t datab::NowMs() const { return options_.clock_ms ? options_.clock_ms() : SteadyMs(); }

bool datab::PutInbound(std::string_view message) {
  const bool accepted = inbound_.Put(message);
  if (accepted) Wake();
  return accepted;
}

std::array<uint8_t, 512> datab::ServerSettings() const {
  std::lock_guard<std::mutex> lock(settings_mu_);
  return settings_block_;
}

// ---- the coordinator thread -------------------------------------------------

void datab::Run() {
  pthread_setname_np(pthread_self(), "datab");
  try {
    StartUp();
    Loop();
  } catch (...) {
    // Start-up failed (a thread could not be created): end as if terminated.
  }
  ShutDown();
  finished_.store(true);
}

void datab::StartUp() {
  {
    std::lock_guard<std::mutex> lock(settings_mu_);
    settings_block_.fill(0);
  }
  settings_received_.store(false);
  // The tick clock needs no calibration here, but the one-second pause
  // stays: it delays the link's start as the program always has.
  if (options_.calibration_ms > 0) {
    const int64_t until = SteadyMs() + options_.calibration_ms;
    while (!terminate_.load() && SteadyMs() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  probe_ = std::make_unique<pingc>(options_.probe_connect_timeout_ms);
  probe_->Start();
  reconciler_ = std::make_unique<RequestReconciler>(table_lock_, *tables_, window_);
  prober_ = std::make_unique<ProbeScheduler>(
      table_lock_, *tables_, *probe_, [this] { return NowMs(); }, [] { return NowDateTime(); });

  window_.RunOnMainThread([this] {
    try {
      archive_.archive_date = NowDateTime();
      LoadArchiveYear();
      window_.ShowArchiveYear(ArchiveYear());
    } catch (...) {
    }
  });

  link_ = std::make_unique<cl>(*this, options_.link);
  link_->SetEnabled(true);
  link_ptr_.store(link_.get());
  link_->Start();

  video_place_.store(
      Settings::Load(options_.base_dir + "korvel.ini").ReadInteger("main", "VideoPlace", 1));
}

void datab::Loop() {
  const int64_t start = NowMs();
  PeriodicJob reconcile_job(kReconcilePeriodMs, start);
  PeriodicJob probe_job(kProbePeriodMs, start);
  while (!terminate_.load()) {
    bool idle = true;
    // Drain the inbound queue; a zero-length message ends the drain.
    while (true) {
      RingQueue::Taken taken = inbound_.Take();
      if (!taken.delivered) break;
      idle = false;
      try {
        Dispatch(taken.bytes);
      } catch (...) {
      }
    }
    const int64_t now = NowMs();
    if (reconcile_job.Due(now)) {
      prober_->ExpirePending();
      try {
        reconciler_->Reconcile(video_place_.load());
      } catch (...) {
      }
    }
    if (CameraTablePresent() && probe_job.Due(now)) {
      try {
        prober_->Step();
      } catch (...) {
      }
    }
    bool refresh = false;
    try {
      refresh = TakeRequestsRefresh();
    } catch (...) {
    }
    if (refresh) {
      try {
        reconciler_->Reconcile(video_place_.load());
      } catch (...) {
      }
    }
    if (idle) {
      // Until the next job is due, or a wake-up (inbound message, table
      // change); never less than 1 ms.
      const int64_t after = NowMs();
      int64_t wait_ms = reconcile_job.RemainingMs(after);
      if (CameraTablePresent()) wait_ms = std::min(wait_ms, probe_job.RemainingMs(after));
      WaitIdle(std::clamp<int64_t>(wait_ms, 1, kReconcilePeriodMs));
    }
    ++pass_counter_;
  }
}

void datab::ShutDown() {
  // Wake the probe thread and cut its connect short; shut the link's socket
  // down so a blocked read or send returns; then wait for both, so nothing
  // uses the tables or the locks once they are released. The main thread
  // keeps serving the link's hand-offs meanwhile (WaitForEnd).
  if (probe_) probe_->RequestTerminate();
  if (link_) link_->RequestTerminate();
  if (probe_) probe_->Join();
  if (link_) link_->Join();
  MutexLock lock(table_lock_);
  ReleaseTables();
}

void datab::Dispatch(std::string_view message) {
  if (message.size() < 2) return;  // no code: discarded
  const uint8_t low = static_cast<uint8_t>(message[0]);
  if (low == kCloseRequestLowByte) reconciler_->HandleCloseRequest(message, video_place_.load());
}

void datab::SendTableChange(uint32_t command, std::string_view data) {
  cl* link = link_ptr_.load();
  if (link == nullptr) return;
  link->PostToServer(command, data);
  // The next poll follows about 100 ms later.
  link->SetLastSendTick(TickMs() - (link->poll_period_ms() - 100));
}

// ---- main-window side ----------------------------------------------------------

void datab::LoadArchiveYear() { korvel::LoadArchiveYear(options_.base_dir, ArchiveYear(), &archive_); }

int datab::ArchiveYear() const {
  CalendarFields f;
  if (DecodeDateTime(archive_.archive_date, &f)) return f.year;
  DecodeDateTime(NowDateTime(), &f);
  return f.year;
}

// ---- LinkHost ------------------------------------------------------------------

void datab::RunOnMainThread(std::function<void()> work) { window_.RunOnMainThread(std::move(work)); }

void datab::SetLinkUp(bool up) { window_.SetLinkUp(up); }

void datab::ActivityTick() {
  const uint8_t next = static_cast<uint8_t>(activity_.load() + 1);
  activity_.store(next > 15 ? 0 : next);
  window_.RepaintStatus();
}

void datab::RepaintStatus() { window_.RepaintStatus(); }

void datab::ReloadArchiveYear() {
  LoadArchiveYear();
  {
    std::lock_guard<std::mutex> lock(archive_.mutex);
    archive_.active = true;
  }
  archive_.dirty.store(true);
}

void datab::ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks) {
  std::lock_guard<std::mutex> lock(archive_.mutex);
  ArchiveChunkTarget target;
  target.name = archive_.name;
  target.temp_dir = options_.base_dir + "temp/";
  target.pool = &archive_.pool;
  target.records = &archive_.records;
  target.index = &archive_.index;
  target.rows_empty = archive_.archive_rows.empty();
  korvel::ApplyArchiveChunk(header, blocks, &target);
  if (target.header_changed) archive_.kind = target.kind;
  if (target.header_read) {
    archive_.header_length = target.header_length;
    archive_.year = target.year;
  }
  if (target.dirty) archive_.dirty.store(true);
}

void datab::StoreServerSettings(std::string_view block) {
  if (block.size() != kServerSettingsSize) return;
  {
    std::lock_guard<std::mutex> lock(settings_mu_);
    std::memcpy(settings_block_.data(), block.data(), kServerSettingsSize);
  }
  settings_received_.store(true);
}

bool datab::ArchiveSizesForPoll(ArchiveSizes* out) {
  ArchivePollSizes sizes;
  if (!ReadArchivePollSizes(archive_, &sizes)) return false;
  auto clamp = [](size_t n) { return static_cast<int32_t>(std::min<size_t>(n, INT32_MAX)); };
  out->name = sizes.name;
  out->pool_bytes = clamp(sizes.pool_size);
  out->record_bytes = clamp(sizes.records_size);
  out->index_bytes = clamp(sizes.index_size);
  return true;
}

}  // namespace korvel
