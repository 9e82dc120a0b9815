// A LinkHost that records what the link asks of it. RunOnMainThread runs the
// work at once on the calling thread (the tests drive the link by hand).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "link/session/link_host.h"

namespace korvel::test {

class FakeLinkHost : public LinkHost {
 public:
  struct Call {
    std::string what;   // "snapshot", "update", "editdone", "tables", "reset",
                        // "delete", "chunk", "settings", "reload"
    std::string bytes;  // the payload handed over (or table name)
    int32_t number = 0; // n_abs of a deletion notice
  };

  void RunOnMainThread(std::function<void()> work) override {
    main_calls++;
    work();
  }
  void SetLinkUp(bool up) override {
    link_up = up;
    link_up_writes++;
  }
  void ActivityTick() override { activity++; }
  void RepaintStatus() override { repaints++; }
  void ReloadArchiveYear() override { Record({"reload", "", 0}); }
  void ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks) override {
    Record({"chunk", header.name + ":" + std::string(blocks), 0});
  }
  void StoreServerSettings(std::string_view block) override {
    Record({"settings", std::string(block), 0});
  }
  size_t LoadSnapshot(std::string_view bytes) override {
    Record({"snapshot", std::string(bytes), 0});
    return std::min(bytes.size(), snapshot_reads);
  }
  void ApplyRecordUpdate(std::string_view payload) override {
    Record({"update", std::string(payload), 0});
  }
  int ApplyEditDone(std::string_view table_name) override {
    Record({"editdone", std::string(table_name), 0});
    return std::string(table_name) == known_table ? 1 : 0;
  }
  void AddTables(std::string_view list_text) override { Record({"tables", std::string(list_text), 0}); }
  void ResetTables() override { Record({"reset", "", 0}); }
  void ApplyDeletionNotice(const std::string& table_name, int32_t n_abs) override {
    Record({"delete", table_name, n_abs});
  }
  bool ArchiveSizesForPoll(ArchiveSizes* out) override {
    if (!archive_active) return false;
    *out = sizes;
    return true;
  }

  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(mu_);
    return calls_;
  }

  // Settings.
  size_t snapshot_reads = 0;  // bytes LoadSnapshot reports as read
  std::string known_table = "videor";
  bool archive_active = false;
  ArchiveSizes sizes;

  std::atomic<int> main_calls{0};
  std::atomic<int> activity{0};
  std::atomic<int> repaints{0};
  std::atomic<bool> link_up{false};
  std::atomic<int> link_up_writes{0};

 private:
  void Record(Call c) {
    std::lock_guard<std::mutex> lock(mu_);
    calls_.push_back(std::move(c));
  }
  std::mutex mu_;
  std::vector<Call> calls_;
};

}  // namespace korvel::test
