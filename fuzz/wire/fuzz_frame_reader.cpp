// Fuzzes the frame reader (header, lengths, chunked body, inflation) and
// the readers of what a received message carries: message headers, poll
// reply sub-messages, archive chunk headers, deletion notices, containers.
//
// Input: byte 0 chooses the mode, bytes 1-4 seed how the stream is split
// into reads, bytes 5-6 the chunk size; the rest is the stream.
//   mode bit 0 = 0: the rest is the raw byte stream.
//   mode bit 0 = 1: the rest is a message that is first framed compressed
//                   (so inflation is reached with valid streams), then its
//                   plain length is moved by (mode >> 1) - 64 and one body
//                   byte may be flipped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <optional>
#include <string_view>

#include "link/container/ks_data_s.h"
#include "link/wire/frame_codec.h"
#include "link/wire/frame_io.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"

namespace korvel {
namespace {

// Hands out the stream in pieces whose sizes come from a small generator.
class SplitSource : public FrameSource {
 public:
  SplitSource(std::string_view data, uint32_t seed) : data_(data), state_(seed | 1) {}
  long Read(void* buf, size_t max, int) override {
    if (pos_ == data_.size()) return 0;
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    size_t n = (state_ & 3) == 0 ? max : 1 + state_ % 64;
    n = std::min({n, max, data_.size() - pos_});
    std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  int ReceiveBufferSize() override { return (state_ & 8) ? static_cast<int>(state_ % 5000) : 0; }

 private:
  std::string_view data_;
  size_t pos_ = 0;
  uint32_t state_;
};

void WalkPollReply(std::string_view payload) {
  const PollReplyHead head = ReadPollReplyHead(payload);
  if (head.count == 0) return;
  ByteReader in(payload.substr(head.sub_offset));
  for (int i = 0; i < head.count; ++i) {
    MessageHeader h;
    if (!ReadMessageHeader(in, &h) || h.length < 0) return;
    std::string_view body;
    switch (h.type) {
      case msgDeletionNotice: {
        std::string table;
        int32_t n_abs;
        if (!ReadDeletionNotice(in, &table, &n_abs)) return;
        continue;  // 13 bytes, whatever the length field says
      }
      case msgArchiveChunk: {
        ArchiveChunkHeader c;
        if (!ReadArchiveChunkHeader(in, &c)) return;
        const int64_t blocks = ArchiveChunkBlockBytes(c);
        if (blocks < 0 || static_cast<uint64_t>(blocks) > in.remaining()) return;
        in.Skip(static_cast<size_t>(blocks));
        continue;
      }
      default:
        break;
    }
    if (!in.GetView(static_cast<size_t>(h.length), &body)) return;
    if (h.type == msgContainer) {
      TKSDataS c;
      c.LoadFromBytes(body);
      (void)c.ReadText(0, 1, 0);
      c.ClearAll();
    }
  }
}

}  // namespace
}  // namespace korvel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  if (size < 7) return 0;
  const uint8_t mode = data[0];
  uint32_t seed;
  std::memcpy(&seed, data + 1, 4);
  int32_t chunk = static_cast<int32_t>(data[5] | (data[6] << 8)) - 100;
  std::string_view rest(reinterpret_cast<const char*>(data + 7), size - 7);

  std::string stream;
  if (mode & 1) {
    stream = EncodeFrame(rest, true);
    if (stream.size() < kFrameHeaderSize) return 0;
    const int32_t plain = DecodeI32(stream.data() + kFramePlainLengthOffset) + (mode >> 1) - 64;
    PatchU32(&stream, kFramePlainLengthOffset, static_cast<uint32_t>(plain));
    if ((seed & 0x80000000u) && stream.size() > kFrameHeaderSize) {
      stream[kFrameHeaderSize + seed % (stream.size() - kFrameHeaderSize)] ^=
          static_cast<char>(1 + (seed >> 8) % 255);
    }
  } else {
    stream.assign(rest);
  }

  SplitSource source(stream, seed);
  std::string message;
  if (ReceiveFrameFrom(source, &chunk, &message, 0) != ReceiveStatus::kMessage) return 0;
  if (mode & 1 && (mode >> 1) == 64 && !(seed & 0x80000000u)) {
    // An untouched compressed frame must come back exactly.
    if (message != rest) __builtin_trap();
  }
  if (!IsValidMessage(message)) return 0;
  if (MessageType(message) == msgPoll) WalkPollReply(MessagePayload(message));
  std::optional<ArchiveSizes> sizes;
  (void)ParsePollPayload(MessagePayload(message), &sizes);
  return 0;
}
