// Counted texts and name slots, the text forms of every wire and file layout.
//
//   counted text:          [n: 1 byte][n bytes of Windows-1251 text]
//   name slot, capacity k: a counted text with n <= k, padded with zeros to
//                          exactly 1 + k bytes; readers always consume 1 + k.
//
// Slots used by the system: 8 (table names, 9 bytes), 15 (field and
// parameter names, 16 bytes), 30 (archive names, 31 bytes).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/byte_io.h"

namespace korvel {

inline constexpr size_t kTableNameCapacity = 8;
inline constexpr size_t kFieldNameCapacity = 15;
inline constexpr size_t kArchiveNameCapacity = 30;
inline constexpr size_t kCountedTextMax = 255;

// Reads a counted text. Fails (position unchanged) when the length byte or
// the text does not fit in what remains.
bool GetCountedText(ByteReader& in, std::string* out);

// Reads a name slot of the given capacity, consuming exactly 1 + capacity
// bytes. A length byte above the capacity is cut to the capacity. Fails
// (position unchanged) when fewer than 1 + capacity bytes remain.
bool GetNameSlot(ByteReader& in, size_t capacity, std::string* out);

// Decodes the counted text held in a slot of `slot_size` bytes (length byte
// included): the text is cut to slot_size - 1 bytes. REQUIRES: slot points to
// slot_size readable bytes; slot_size >= 1.
std::string DecodeSlotText(const void* slot, size_t slot_size);

// Appends a counted text; the text is cut to 255 bytes.
void PutCountedText(std::string* dst, std::string_view text);

// Appends a name slot: the text cut to `capacity` bytes, then zero padding to
// exactly 1 + capacity bytes. REQUIRES: capacity <= 255.
void PutNameSlot(std::string* dst, std::string_view text, size_t capacity);

}  // namespace korvel
