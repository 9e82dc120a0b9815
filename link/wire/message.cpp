#include "link/wire/message.h"

namespace korvel {

void PutMessageHeader(std::string* dst, uint32_t type, int32_t length, uint64_t sequence) {
  PutU8(dst, kMessageStart);
  PutU32(dst, type);
  PutI32(dst, length);
  PutU64(dst, sequence);
  PutU8(dst, kMessageEnd);
}

std::string BuildMessage(uint32_t type, std::string_view payload, uint64_t sequence) {
  std::string out;
  out.reserve(kMessageHeaderSize + payload.size());
  PutMessageHeader(&out, type, static_cast<int32_t>(payload.size()), sequence);
  out.append(payload);
  return out;
}

bool ReadMessageHeader(ByteReader& in, MessageHeader* out) {
  if (in.remaining() < kMessageHeaderSize) return false;
  MessageHeader h;
  in.GetU8(&h.start);
  in.GetU32(&h.type);
  in.GetI32(&h.length);
  in.GetU64(&h.sequence);
  in.GetU8(&h.end);
  *out = h;
  return true;
}

bool IsValidHeader(const MessageHeader& header) {
  return (header.start == kMessageStart || header.start == kMessageStartAlt) &&
         header.end == kMessageEnd;
}

bool IsValidMessage(std::string_view message) {
  ByteReader in(message);
  MessageHeader h;
  return ReadMessageHeader(in, &h) && IsValidHeader(h);
}

std::string_view MessagePayload(std::string_view message) {
  if (message.size() < kMessageHeaderSize) return {};
  return message.substr(kMessageHeaderSize);
}

uint32_t MessageType(std::string_view message) {
  if (message.size() < kMessageHeaderSize) return 0;
  return DecodeU32(message.data() + kMessageTypeOffset);
}

int32_t MessageLengthField(std::string_view message) {
  if (message.size() < kMessageHeaderSize) return 0;
  return DecodeI32(message.data() + kMessageLengthOffset);
}

}  // namespace korvel
