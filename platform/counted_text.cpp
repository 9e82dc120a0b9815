#include "platform/counted_text.h"

#include <algorithm>

namespace korvel {

bool GetCountedText(ByteReader& in, std::string* out) {
  if (in.remaining() < 1) return false;
  const size_t n = in.current()[0];
  if (in.remaining() < 1 + n) return false;
  in.Skip(1);
  return in.GetBytes(n, out);
}

bool GetNameSlot(ByteReader& in, size_t capacity, std::string* out) {
  if (in.remaining() < 1 + capacity) return false;
  *out = DecodeSlotText(in.current(), 1 + capacity);
  return in.Skip(1 + capacity);
}

std::string DecodeSlotText(const void* slot, size_t slot_size) {
  const auto* b = static_cast<const uint8_t*>(slot);
  const size_t n = std::min<size_t>(b[0], slot_size - 1);
  return std::string(reinterpret_cast<const char*>(b + 1), n);
}

void PutCountedText(std::string* dst, std::string_view text) {
  const size_t n = std::min(text.size(), kCountedTextMax);
  PutU8(dst, static_cast<uint8_t>(n));
  dst->append(text.data(), n);
}

void PutNameSlot(std::string* dst, std::string_view text, size_t capacity) {
  const size_t n = std::min(text.size(), capacity);
  PutU8(dst, static_cast<uint8_t>(n));
  dst->append(text.data(), n);
  dst->append(capacity - n, '\0');
}

}  // namespace korvel
