// A message server played by a script, on a loopback port, for link tests:
// it accepts connections one after another, reads each frame the link sends
// and answers it as the responder says.
#pragma once

#include <poll.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/wire/frame_io.h"
#include "link/wire/message.h"
#include "link/wire/tcp_socket.h"

namespace korvel::test {

struct Reply {
  enum Kind { kFrame, kRaw, kClose, kSilent };
  Kind kind = kFrame;
  std::string bytes;  // kFrame: the message; kRaw: bytes as they are
  bool close_after = false;  // close the connection after sending

  static Reply Message(uint32_t type, std::string_view payload = {}) {
    return {kFrame, BuildMessage(type, payload, 0), false};
  }
  static Reply Raw(std::string bytes, bool close_after = false) {
    return {kRaw, std::move(bytes), close_after};
  }
  static Reply Close() { return {kClose, {}, false}; }
  static Reply Silent() { return {kSilent, {}, false}; }
};

class ScriptServer {
 public:
  // Called on the server thread with each message received and the number
  // of the connection (0, 1, ...).
  using Responder = std::function<Reply(const std::string& message, int connection)>;

  explicit ScriptServer(Responder responder) : responder_(std::move(responder)) {
    listener_ = ListenTcp("127.0.0.1", 0, 8, &port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptServer() {
    stop_.store(true);
    thread_.join();
  }

  uint16_t port() const { return port_; }
  int connections() const { return connections_.load(); }
  std::vector<std::string> Received() {
    std::lock_guard<std::mutex> lock(mu_);
    return received_;
  }
  // Types of the messages received, in order.
  std::vector<uint32_t> Types() {
    std::vector<uint32_t> out;
    for (const auto& m : Received()) out.push_back(MessageType(m));
    return out;
  }

 private:
  void Serve() {
    while (!stop_.load()) {
      Socket s = AcceptTcp(listener_.fd(), 50);
      if (!s) continue;
      const int connection = connections_.fetch_add(1);
      int32_t chunk = 64000;
      while (!stop_.load()) {
        pollfd p{s.fd(), POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        std::string message;
        if (ReceiveFrame(s.fd(), &chunk, &message, 2000) != ReceiveStatus::kMessage) break;
        {
          std::lock_guard<std::mutex> lock(mu_);
          received_.push_back(message);
        }
        const Reply r = responder_(message, connection);
        if (r.kind == Reply::kClose) break;
        if (r.kind == Reply::kFrame) SendFrame(s.fd(), r.bytes, false);
        if (r.kind == Reply::kRaw) SendAll(s.fd(), r.bytes);
        if (r.close_after) break;
      }
    }
  }

  Responder responder_;
  Socket listener_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::mutex mu_;
  std::vector<std::string> received_;
  std::thread thread_;
};

}  // namespace korvel::test
