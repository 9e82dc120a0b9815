// A minimal workstation for tests: connects over loopback and exchanges
// frames with the project's wire code, one reply per frame sent.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/wire/frame_io.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"
#include "link/wire/tcp_socket.h"
#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel::msgserver::testing {

struct SubMessage {
  uint32_t type = 0;
  std::string payload;
};

class TestClient {
 public:
  bool Connect(uint16_t port) {
    socket_ = ConnectTcp("127.0.0.1", port, 2000);
    return socket_.valid();
  }
  int fd() const { return socket_.fd(); }

  // Sends one message and reads the reply; empty when the exchange failed.
  std::string Exchange(uint32_t type, std::string_view payload, bool compress = false,
                       int timeout_ms = 5000) {
    if (!SendFrame(socket_.fd(), BuildMessage(type, payload, seq_++), compress)) return {};
    return Receive(timeout_ms);
  }
  std::string Receive(int timeout_ms = 5000) {
    std::string reply;
    if (ReceiveFrame(socket_.fd(), &chunk_, &reply, timeout_ms) != ReceiveStatus::kMessage) return {};
    return reply;
  }

  // The greeting of the program: login, flags, place, version. Returns the
  // types of the four replies.
  std::vector<uint32_t> Greet(uint8_t place, std::vector<std::string>* replies = nullptr) {
    std::vector<uint32_t> types;
    const std::string login("\x3f\x00", 2);
    const std::string flags("\0\0\0\0\0\0\0\x01", 8);
    const std::string placeb(1, static_cast<char>(place));
    std::string version;
    for (uint16_t v : {8, 1, 0, 0}) PutU16(&version, v);
    for (auto [type, payload] : {std::pair<uint32_t, std::string>{msgLogin, login},
                                 {msgClientFlags, flags},
                                 {msgClientPlace, placeb},
                                 {msgClientVersion, version}}) {
      const std::string r = Exchange(type, payload);
      types.push_back(MessageType(r));
      if (replies != nullptr) replies->push_back(r);
    }
    return types;
  }

  // Polls (with archive sizes when given) and returns the sub-messages.
  std::vector<SubMessage> Poll(const ArchiveSizes* sizes = nullptr, std::string* reply_out = nullptr) {
    const std::string reply = Exchange(msgPoll, BuildPollPayload(sizes));
    if (reply_out != nullptr) *reply_out = reply;
    return SubsOf(reply);
  }

  static std::vector<SubMessage> SubsOf(const std::string& reply) {
    std::vector<SubMessage> subs;
    if (MessageType(reply) != msgPoll) return subs;
    const std::string_view payload = MessagePayload(reply);
    const PollReplyHead head = ReadPollReplyHead(payload);
    ByteReader in(payload.substr(head.sub_offset));
    for (int i = 0; i < head.count; ++i) {
      MessageHeader h;
      if (!ReadMessageHeader(in, &h) || h.length < 0) break;
      SubMessage s;
      s.type = h.type;
      if (!in.GetBytes(static_cast<size_t>(h.length), &s.payload)) break;
      subs.push_back(std::move(s));
    }
    return subs;
  }

 private:
  Socket socket_;
  int32_t chunk_ = kDefaultPacketSize;
  uint64_t seq_ = 0;
};

}  // namespace korvel::msgserver::testing
