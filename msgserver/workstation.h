// State the server keeps for one connected workstation.
//
// Owned by MessageServer; every member except the thread is guarded by the
// server's state lock. The connection thread alone does I/O on `socket`
// (the descriptor does not change while it runs); it closes the socket under
// the lock, and Stop() shuts it down under the lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "link/wire/tcp_socket.h"

namespace korvel::msgserver {

// A reply waiting for the workstation's next frame. Table lists and
// snapshots are built when they are sent, so they hold the data of that
// moment.
struct QueuedReply {
  enum class Kind { kMessage, kTableList, kSnapshot } kind = Kind::kMessage;
  std::string message;  // kMessage: the whole message
  std::string table;    // kSnapshot
};

struct Faults {
  bool silent = false;    // read frames, answer none
  int damage_next = 0;    // replace the next n replies by a damaged frame
  int delay_ms = 0;       // wait before each reply
  bool close = false;     // close the connection (set once, acted on at once)
};

struct Workstation {
  int id = 0;
  std::string peer;  // "address:port"
  Socket socket;
  std::thread thread;
  std::atomic<bool> finished{false};

  // Guarded by the server's state lock.
  bool connected = true;
  double connected_at = 0;  // date-time
  bool logged_in = false;
  int client_kind = -1;
  std::string client_flags;  // hex
  int place = -1;
  std::string version;
  bool client_compresses = false;
  uint64_t frames_in = 0;
  uint64_t frames_out = 0;
  std::deque<QueuedReply> replies;     // top-level replies, one per frame
  std::deque<std::string> sub_messages;  // pushed into the next poll replies
  std::set<std::string> snapshot_sent;   // tables this copy holds
  std::set<std::string> snapshot_acked;
  Faults faults;
  // Decoded messages it sent, oldest first. Polls that report the same
  // archive sizes as the previous one and get nothing back are counted in
  // `frames_in` but not logged, so the log keeps what matters.
  std::deque<nlohmann::json> log;
  nlohmann::json last_poll_archive;
  uint64_t log_next = 1;           // sequence of the next log entry
};

}  // namespace korvel::msgserver
