// The replacement message server.
//
// Listens for workstations on a TCP address (default 127.0.0.1:12543) and
// serves each connection on its own thread: read one frame, answer it with
// exactly one frame. All shared state (tables, settings block, archives,
// every workstation's queues, faults and log) sits behind one state lock;
// socket I/O is done outside it.
//
// What a connection gets:
// - `msgLogin` is answered with `msgLoginAccepted`; the next frames with
//   `msgTableList` and one `msgSnapshot` per table, then the settings block
//   travels in the first poll reply.
// - Insert, update and delete requests are applied to the server's tables
//   and the resulting record update or deletion notice is queued for every
//   workstation that holds the table; the dictionary-code message is logged.
// - Every other frame is answered with a poll reply: the server time and
//   the queued sub-messages (at most 255 and about `max_reply_bytes` per
//   reply, the rest waits), plus, for a poll that reports archive sizes, the
//   archive chunk that brings that archive up to date.
// - `msgCameraEvent` records are stored in the archive they name.
// - A frame that cannot be read (bad marker or length, truncated body,
//   compressed body that does not inflate, bad message header) closes that
//   connection only.
//
// Thread safety: every public member may be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "link/wire/tcp_socket.h"
#include "msgserver/archive_store.h"
#include "msgserver/seed_file.h"
#include "msgserver/workstation.h"

namespace korvel::msgserver {

enum class CompressMode { kNever, kAlways, kMirror };

struct ServerOptions {
  std::string address = "127.0.0.1";
  uint16_t port = 12543;  // 0 picks a free port
  std::string data_folder = "msgserver-data";
  CompressMode compress = CompressMode::kMirror;  // kMirror: as the client's last frame
  size_t max_reply_bytes = 1 << 20;
  size_t max_chunk_bytes = 256 * 1024;
  size_t log_entries_per_workstation = 5000;
  size_t closed_workstations_kept = 64;
  size_t max_workstations = 64;  // connections beyond it are closed at once
  int verbosity = 1;  // 0 quiet, 1 everything but empty polls, 2 everything
};

class MessageServer {
 public:
  MessageServer(ServerOptions options, SeedData seed);
  ~MessageServer();
  MessageServer(const MessageServer&) = delete;
  MessageServer& operator=(const MessageServer&) = delete;

  // Binds and starts accepting. False with *error when the address cannot
  // be bound.
  bool Start(std::string* error);
  // Closes every connection and joins every thread. Idempotent.
  void Stop();
  uint16_t port() const { return port_; }

  // ---- control operations (control_api.cpp maps them to HTTP) ----
  // Each returns false with *error for a bad request; `status` receives an
  // HTTP-like code (400 bad input, 404 unknown target).
  nlohmann::json Status();
  nlohmann::json ListTables();
  bool GetTable(const std::string& name, nlohmann::json* out, int* status, std::string* error);
  bool InsertRecord(const std::string& table, const nlohmann::json& values, nlohmann::json* out,
                    int* status, std::string* error);
  bool UpdateRecord(const std::string& table, int32_t n_abs, const nlohmann::json& values,
                    nlohmann::json* out, int* status, std::string* error);
  bool DeleteRecord(const std::string& table, int32_t n_abs, int* status, std::string* error);
  bool CompactTable(const std::string& table, nlohmann::json* out, int* status,
                    std::string* error);
  nlohmann::json Settings();
  bool SetSettings(const nlohmann::json& bytes, int* status, std::string* error);
  // `target`: a workstation id, "all", or "place:N".
  bool SendControl(const std::string& target, const std::string& message, nlohmann::json* out,
                   int* status, std::string* error);
  bool SetFaults(const std::string& target, const nlohmann::json& faults, nlohmann::json* out,
                 int* status, std::string* error);
  bool Resync(const std::string& target, nlohmann::json* out, int* status, std::string* error);
  // Log entries after `since`; `type` (a name such as "msgCameraEvent")
  // keeps only that type when not empty.
  bool Log(const std::string& target, uint64_t since, const std::string& type,
           nlohmann::json* out, int* status, std::string* error);
  nlohmann::json Archives();
  void SetClockOffsetSeconds(double seconds);

  // The server's clock (local time plus the control offset), a date-time.
  double ServerTime() const;

 private:
  void AcceptLoop();
  void Serve(Workstation* ws);
  void ReapFinished();

  // Handles one received message under the state lock and returns the
  // reply message.
  std::string HandleLocked(Workstation* ws, const std::string& message, bool compressed);
  std::string NextReplyLocked(Workstation* ws, const ArchiveSizes* sizes);
  std::string PollReplyLocked(Workstation* ws, const ArchiveSizes* sizes);
  void ApplyTableRequestLocked(Workstation* ws, uint32_t type, std::string_view payload,
                               nlohmann::json* entry);
  void PushRecordUpdateLocked(const ServerTable& table, int32_t index);
  void PushDeletionLocked(const ServerTable& table, int32_t n_abs);
  void PushSettingsLocked();
  ServerTable* FindTableLocked(const std::string& name);
  std::vector<Workstation*> TargetsLocked(const std::string& target, int* status,
                                          std::string* error);
  void AddLogLocked(Workstation* ws, nlohmann::json entry);
  void Say(const Workstation* ws, const std::string& line) const;

  const ServerOptions options_;
  std::atomic<bool> running_{false};
  std::atomic<double> clock_offset_days_{0};
  Socket listener_;
  uint16_t port_ = 0;
  std::thread accept_thread_;

  mutable std::mutex mu_;
  std::vector<ServerTable> tables_;                            // guarded by mu_
  SettingsBlock settings_{};                                   // guarded by mu_
  ArchiveStore archives_;                                      // guarded by mu_
  std::map<int, std::unique_ptr<Workstation>> workstations_;  // guarded by mu_
  int next_id_ = 1;                                            // guarded by mu_
  mutable std::mutex log_mu_;  // keeps stderr lines whole
};

// Name of a message type code ("msgPoll"), or its hex form.
std::string MessageTypeName(uint32_t type);

}  // namespace korvel::msgserver
