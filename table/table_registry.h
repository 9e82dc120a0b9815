// The coordinator's table registry: the replicated tables in the order they
// were registered, the positions of the camera table "video" and the request
// table "videor", and the handlers of the server's table messages (table
// list, snapshot, record update, deletion notice, edit-done notice, reset).
//
// Threads: not thread-safe and takes no lock. The coordinator owns the
// registry and its table lock; every call (and every use of a table it
// returns) runs under that lock. Table pointers stay valid until Reset() or
// the registry's destruction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/ks_base_c.h"

namespace korvel {

class TableRegistry {
 public:
  // Sends the snapshot acknowledgement (command kCmdSnapshotAck, payload the
  // 9-byte table name slot). The coordinator's implementation sends only
  // while the link is enabled and connected.
  using AckSender = std::function<void(int32_t command, const std::string& payload)>;
  // One diagnostic line (Windows-1251), e.g. "Превышение count -5 videor".
  using LogSink = std::function<void(const std::string& line)>;

  TableRegistry() = default;
  TableRegistry(const TableRegistry&) = delete;
  TableRegistry& operator=(const TableRegistry&) = delete;

  // The OnNetDataSend handler every registered table gets (the coordinator's
  // table send hook). Applies to tables registered afterwards.
  void SetSendHook(TKSBaseC::TNetDataSend hook) { send_hook_ = std::move(hook); }
  void SetAckSender(AckSender sender) { ack_sender_ = std::move(sender); }
  void SetLog(LogSink log) { log_ = std::move(log); }

  // Registers a table unless one of that Name exists or the name is not an
  // identifier (ASCII letters, digits, '_', not starting with a digit, at
  // most 8 characters). Returns the table of that name, or nullptr.
  TKSBaseC* AddTable(std::string_view name);
  // Table list payload: AddTable for each line (CR, LF or CR LF end one).
  void AddTables(std::string_view list_text);

  struct SnapshotResult {
    TKSBaseC* table = nullptr;  // the loaded table; nullptr when nothing was loaded
    size_t bytes_read = 0;      // bytes of the payload the loader consumed
    bool complete = false;      // every column was whole
  };
  // Loads the snapshot at the start of `payload`: clears or registers the
  // table, reads N and the F fields, acknowledges, rebuilds the view and
  // sets FlagRefresh. A negative N or one above kMaxRecords, or a negative
  // F, rejects the snapshot before anything changes. A payload shorter than
  // its columns loads what it holds.
  SnapshotResult LoadSnapshot(std::string_view payload);

  // Record update payload: applies it to the first table of that NameTable,
  // logging "Превышение count -<index> <table>" when the index is outside
  // the records, then rebuilds the view and sets FlagRefresh.
  void HandleRecordUpdate(std::string_view payload);
  // Deletion notice for every table of that NameTable: MarkDeleted, rebuild,
  // FlagRefresh, found or not.
  void HandleDeletionNotice(std::string_view table_name, int32_t n_abs);
  // Same, from the 13-byte payload; a shorter payload is ignored.
  void HandleDeletionNotice(std::string_view payload);
  // EditDone on every table of that NameTable; returns how many.
  int HandleEditDone(std::string_view table_name);
  // Releases every table; both positions return to -1.
  void Reset();

  int32_t size() const { return static_cast<int32_t>(tables_.size()); }
  TKSBaseC* Table(int32_t position) const;
  // Registry position of the table of that NameTable, or -1.
  int32_t Position(std::string_view name_table) const;
  TKSBaseC* Find(std::string_view name_table) const;
  // Positions set when the snapshot of "video" / "videor" was loaded; -1
  // until then and after Reset.
  int32_t VideoPosition() const { return video_position_; }
  int32_t VideoRPosition() const { return videor_position_; }
  TKSBaseC* Video() const { return Table(video_position_); }
  TKSBaseC* VideoR() const { return Table(videor_position_); }

  static bool IsValidTableName(std::string_view name);

 private:
  void Log(const std::string& line) const {
    if (log_) log_(line);
  }

  std::vector<std::unique_ptr<TKSBaseC>> tables_;
  int32_t video_position_ = -1;
  int32_t videor_position_ = -1;
  TKSBaseC::TNetDataSend send_hook_;
  AckSender ack_sender_;
  LogSink log_;
};

// Loads a snapshot's structure and columns into `table` (ClearStructure,
// Count, AddField and LoadColumn for each descriptor), without rebuilding,
// acknowledging or registering. Returns false, changing nothing, when the
// header is rejected. Used by the registry and by tests and benchmarks.
bool LoadSnapshotInto(TKSBaseC* table, std::string_view payload, size_t* bytes_read,
                      bool* complete);

}  // namespace korvel
