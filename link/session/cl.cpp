#include "link/session/cl.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <utility>

#include "link/session/greeting.h"
#include "link/session/stoppable_connect.h"
#include "link/wire/frame_io.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"
#include "platform/settings.h"
#include "platform/tick.h"
#include "platform/version_text.h"

namespace korvel {

cl::cl(LinkHost& host, Options options)
    : host_(host),
      options_(std::move(options)),
      log_(options_.base_dir + "data.log", options_.log_max_bytes) {}

cl::~cl() {
  RequestTerminate();
  Join();
}

void cl::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void cl::RequestTerminate() {
  terminate_.store(true);
  std::lock_guard<std::mutex> lock(socket_mu_);
  ShutdownSocket(socket_.fd());  // ends a blocked send or read at once
}

void cl::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

uint64_t cl::NextSequence() const {
  std::lock_guard<std::mutex> lock(post_mu_);
  return sequence_;
}

void cl::PostToServer(uint32_t type, std::string_view payload) {
  if (!enabled_.load()) return;
  std::lock_guard<std::mutex> lock(post_mu_);
  const std::string message = BuildMessage(type, payload, sequence_);
  ++sequence_;
  queue_.Put(message);  // a full queue loses the message without notice
}

void cl::ReadStartSettings() {
  settings_ = ReadLinkSettings(Settings::Load(options_.base_dir + "korvel.ini"));
  chunk_size_ = settings_.packet_size;
}

void cl::Run() {
  pthread_setname_np(pthread_self(), "cl");
  // One step above normal; refused without the privilege, which is ignored.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -1);
  last_send_tick_.store(TickMs());
  try {
    ReadStartSettings();
  } catch (...) {
  }
  while (!terminate_.load()) {
    try {
      LinkStep();
    } catch (...) {
      // The loop never stops on an error.
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.step_sleep_ms));
  }
  if (connected_.load()) CloseSocket();
}

void cl::LinkStep() {
  if (connected_.load()) {
    StepConnected();
  } else {
    StepDisconnected();
  }
}

void cl::StepDisconnected() {
  if (!enabled_.load()) return;
  const uint32_t now = TickMs();
  if (!TickElapsed(now, &last_attempt_tick_, options_.attempt_period_ms)) return;
  last_attempt_tick_ = now;
  registered_ = false;
  try {
    RereadLinkTarget(Settings::Load(options_.base_dir + "korvel.ini"), &settings_);
  } catch (...) {
  }
  bool up = false;
  try {
    up = ConnectToServer();
  } catch (...) {
    up = false;
  }
  connected_.store(up);
  host_.SetLinkUp(up);
  if (up) Greet();
}

void cl::Greet() {
  ActivityTick();
  PostToServer(msgLogin, BuildLoginPayload());
  host_.RunOnMainThread([this] {
    try {
      host_.ReloadArchiveYear();
    } catch (...) {
    }
  });
  expect_reply_ = true;
  PostToServer(msgClientFlags, BuildClientFlagsPayload());
  PostToServer(msgClientPlace, BuildClientPlacePayload(settings_.place));
  PostToServer(msgClientVersion,
               BuildClientVersionPayload(options_.version_text.empty() ? ProgramVersionText()
                                                                       : options_.version_text));
}

bool cl::ConnectToServer() {
  Socket s = ConnectStoppable({settings_.address, settings_.port}, options_.connect_timeout_ms,
                              HostLookup::kDottedOnly, &terminate_);
  if (!s.valid()) return false;
  std::lock_guard<std::mutex> lock(socket_mu_);
  socket_ = std::move(s);
  if (terminate_.load()) ShutdownSocket(socket_.fd());
  return true;
}

void cl::CloseSocket() {
  std::lock_guard<std::mutex> lock(socket_mu_);
  socket_.Close();
}

void cl::DropConnection() {
  connected_.store(false);
  try {
    ActivityTick();
  } catch (...) {
  }
  CloseSocket();
}

void cl::ActivityTick() {
  host_.RunOnMainThread([this] {
    try {
      host_.ActivityTick();
    } catch (...) {
    }
  });
}

void cl::WriteLinkLog(std::string_view text) {
  std::string line(text);
  host_.RunOnMainThread([this, &line] {
    try {
      log_.Append(line);
    } catch (...) {
    }
  });
}

bool cl::SendMessage(std::string_view message, std::string_view failure_log) {
  try {
    if (SendFrame(socket_.fd(), message, settings_.compression, options_.receive_timeout_ms)) {
      return true;
    }
    // The socket refused the data: the connection is gone.
    DropConnection();
    error_count_.fetch_add(1);
  } catch (...) {
    WriteLinkLog(LinkLogText(failure_log));
  }
  return false;
}

std::string cl::BuildPoll() {
  ArchiveSizes sizes;
  bool active = false;
  try {
    active = host_.ArchiveSizesForPoll(&sizes);
  } catch (...) {
    active = false;
  }
  // The poll is built outside PostToServer: sequence 0.
  return BuildMessage(msgPoll, BuildPollPayload(active ? &sizes : nullptr), 0);
}

void cl::StepConnected() {
  reply_ok_ = false;
  sent_from_queue_ = false;
  const uint32_t now = TickMs();
  RingQueue::Taken taken = queue_.Take();
  if (taken.delivered) {
    if (MessageLengthField(taken.bytes) > 0) poll_due_ = false;  // its reply stands in
    sent_from_queue_ = true;
    last_send_tick_.store(now);
    SendMessage(taken.bytes, kLogSendFailedQueued);
  } else if (registered_) {
    uint32_t start = last_send_tick_.load();
    const uint32_t seen = start;
    if (TickElapsed(now, &start, options_.poll_period_ms)) {
      poll_due_ = true;
      last_send_tick_.store(now);
    } else if (start != seen) {
      // The wrap rule reset the start; another thread's newer write wins.
      uint32_t expected = seen;
      last_send_tick_.compare_exchange_strong(expected, start);
    }
  } else if (TickElapsed(now, &last_attempt_tick_, options_.attempt_period_ms)) {
    // Connected, nothing to send, no msgLoginAccepted within the wait.
    connected_.store(false);
    CloseSocket();
    return;
  }

  if (!(poll_due_ || expect_reply_ || sent_from_queue_)) return;
  if (poll_due_) {
    poll_due_ = false;
    SendMessage(BuildPoll(), kLogSendFailedPoll);
  }
  reply_ok_ = true;
  expect_reply_ = false;
  std::string message;
  bool received = false;
  try {
    received = ReceiveFrame(socket_.fd(), &chunk_size_, &message, options_.receive_timeout_ms) ==
               ReceiveStatus::kMessage;
  } catch (...) {
    WriteLinkLog(LinkLogText(kLogReceiveFailed));
    reply_ok_ = false;
    error_count_.fetch_add(1);
    host_.RunOnMainThread([this] {
      try {
        host_.RepaintStatus();
      } catch (...) {
      }
    });
  }
  if (!received) {
    reply_ok_ = false;
    error_count_.fetch_add(1);
    DropConnection();
  }
  if (reply_ok_ && IsValidMessage(message)) {
    last_send_tick_.store(TickMs());
    ActivityTick();
    error_count_.store(0);
    DispatchReply(message);
  }
  if (error_count_.load() > 15) {
    error_count_.store(0);
    DropConnection();
    WriteLinkLog(FormatDateTimeDefault(NowDateTime()) + LinkLogText(kLogNetworkErrors));
  }
}

}  // namespace korvel
