// The link thread `cl`: the program's one connection to the message server.
//
// It connects (non-blocking, 4000 ms), greets the server, sends what other
// threads queue through PostToServer, polls the server every PollPeriod
// (1000 ms) when idle, reads exactly one reply after every frame it sends,
// hands each reply to its handler, and reconnects after any failure (an
// attempt at most every 5000 ms). It keeps `data.log`.
//
// Timers use the 32-bit millisecond tick (TickMs) and its wrap rule
// (TickElapsed): LastSendTick for the poll, LastAttemptTick (starting at 0,
// so the first attempt comes in the first step) for connection attempts.
//
// Threads:
// - the link thread runs the thread body (LinkStep every 10 ms); LinkStep,
//   ConnectToServer, DropConnection and the handlers run only there;
// - PostToServer, Connected, Enabled, LastSendTick/SetLastSendTick and
//   ServerClockOffset: any thread;
// - SetEnabled, Start, RequestTerminate, Join: the owner (the coordinator).
// The sequence number and the outbound queue are guarded by the link queue
// lock (post_mu_ around the queue's own lock): taken after the table lock,
// never before it; the link holds no lock while it calls its host.
//
// Shutdown: RequestTerminate sets the terminate flag and shuts the socket
// down, which ends a blocked send, read or connect at once; Join waits for
// the thread (the main thread keeps serving hand-offs meanwhile).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/queue/ring_queue.h"
#include "link/session/link_host.h"
#include "link/session/link_log.h"
#include "link/session/link_settings.h"
#include "link/wire/tcp_socket.h"
#include "link/wire/wire_format.h"
#include "platform/date_time.h"

namespace korvel {

class cl {
 public:
  struct Options {
    // Working folder, with a trailing '/': korvel.ini and data.log are
    // taken from it.
    std::string base_dir = "./";
    uint32_t poll_period_ms = 1000;         // PollPeriod
    uint32_t attempt_period_ms = 5000;      // between connection attempts
    int connect_timeout_ms = kConnectTimeoutMs;
    int receive_timeout_ms = kReceiveTimeoutMs;
    uint32_t step_sleep_ms = 10;
    // Program version reported in msgClientVersion.
    std::string version_text;               // empty: ProgramVersionText()
    int64_t log_max_bytes = LinkLogFile::kDefaultMaxBytes;
  };

  // A fresh link: not Enabled, not Connected, sequence number 0.
  cl(LinkHost& host, Options options);
  ~cl();
  cl(const cl&) = delete;
  cl& operator=(const cl&) = delete;

  // ---- owner ----
  void SetEnabled(bool enabled) { enabled_.store(enabled); }
  // Starts the thread body: reads the ServerHost settings, then LinkStep
  // every step_sleep_ms until RequestTerminate.
  void Start();
  void RequestTerminate();
  void Join();

  // ---- any thread ----

  // Builds a message (start 0xFF, type, payload length, the next sequence
  // number, end 0xFE) and queues it for sending. Nothing happens while not
  // Enabled (no sequence number is used); a full queue loses the message.
  void PostToServer(uint32_t type, std::string_view payload);

  bool Connected() const { return connected_.load(); }
  bool Enabled() const { return enabled_.load(); }
  uint32_t LastSendTick() const { return last_send_tick_.load(); }
  // Poll advance: the table send hook writes now - (PollPeriod - 100), the
  // camera event sender now - 300, the archive reload 0.
  void SetLastSendTick(uint32_t tick) { last_send_tick_.store(tick); }
  uint32_t poll_period_ms() const { return options_.poll_period_ms; }
  // Local now minus the server time of the last poll reply (0 until then).
  DateTime ServerClockOffset() const { return clock_offset_.load(); }
  // The next sequence number PostToServer will use.
  uint64_t NextSequence() const;
  int32_t ErrorCount() const { return error_count_.load(); }

  // ---- link thread (public for tests that drive the link step by step) ----

  // Reads the settings as at thread start (Address, Port, PacketSize,
  // Compression, Place).
  void ReadStartSettings();
  // One pass of the connection loop.
  void LinkStep();
  // Connects to the configured server; true when the connection is up.
  bool ConnectToServer();
  // Connected := false, activity tick, socket closed.
  void DropConnection();
  // Hands one data.log line (Windows-1251 text) to the main thread.
  void WriteLinkLog(std::string_view text);

  // Handles a valid reply (the whole message); public for tests.
  void DispatchReply(std::string_view message);
  // The poll reply of a whole message's payload (length field as given).
  void HandlePollReply(std::string_view payload, int32_t length_field);

 private:
  void Run();
  void StepConnected();
  void StepDisconnected();
  void Greet();
  void CloseSocket();
  bool SendMessage(std::string_view message, std::string_view failure_log);
  std::string BuildPoll();
  void HandleSubMessages(std::string_view reply);
  bool HandleSubMessage(uint32_t type, std::string_view reply, size_t payload_start,
                        size_t payload_end, size_t* next);
  void ActivityTick();

  LinkHost& host_;
  const Options options_;
  LinkLogFile log_;
  RingQueue queue_{kLinkOutbound};

  // Link queue lock: the sequence number and the order of puts.
  mutable std::mutex post_mu_;
  uint64_t sequence_ = 0;  // guarded by post_mu_

  // Guards socket_'s descriptor against RequestTerminate's shutdown while
  // the link thread replaces or closes it. Reads and writes on the socket
  // happen on the link thread without it (only that thread closes it).
  mutable std::mutex socket_mu_;
  Socket socket_;

  std::atomic<bool> enabled_{false};
  std::atomic<bool> connected_{false};
  std::atomic<bool> terminate_{false};
  std::atomic<uint32_t> last_send_tick_{0};
  std::atomic<double> clock_offset_{0.0};
  std::atomic<int32_t> error_count_{0};

  // Link thread only.
  LinkSettings settings_;
  int32_t chunk_size_ = kDefaultPacketSize;
  uint32_t last_attempt_tick_ = 0;
  bool registered_ = false;
  bool poll_due_ = false;
  bool expect_reply_ = false;
  bool sent_from_queue_ = false;
  bool reply_ok_ = false;

  std::thread thread_;
};

}  // namespace korvel
