// Field kind codes of the replicated tables, their storage sizes, and the
// ceilings that bound everything a peer's counts and widths may ask for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Kind codes (17 is unused; any code outside the list is kept in the field
// list but holds no values).
enum FieldKindCode : uint8_t {
  kFieldInt32 = 1,
  kFieldText = 2,
  kFieldByte = 3,
  kFieldBoolean = 4,
  kFieldWord = 5,
  kFieldSingle = 6,
  kFieldDouble = 7,
  kFieldUInt32 = 8,
  kFieldDateTime = 9,
  kFieldInt32B = 10,
  kFieldBlock = 11,
  kFieldInt32C = 12,
  kFieldInt64 = 13,
  kFieldInt32D = 14,
  kFieldDict16 = 15,
  kFieldDict8 = 16,
  kFieldChar = 18,
  kFieldInt32E = 19,
  kFieldInt64B = 20,
  kFieldHex = 21,
  kFieldFlags = 22,
  kFieldTextList = 23,
  kFieldHeap = 24,
  kFieldSeconds2000 = 25,
};

// Ceilings. A snapshot's record count, a record update's new total, a
// descriptor's widths and a heap size beyond these are refused.
inline constexpr int32_t kMaxRecords = 4'000'000;
// Text slots (kind 2 width, every text width): a counted text of at most
// 255 characters plus its length byte.
inline constexpr int32_t kMaxTextSlot = 256;
// Byte blocks (kinds 11, 22) and the bytes of one kind-23 list (w x t).
inline constexpr int32_t kMaxBlockBytes = 65536;
// Text heap of one kind-24 field.
inline constexpr int64_t kMaxHeapBytes = 64LL << 20;
// Column bytes of one table (sum over fields of records x bytes per record);
// a record update whose new total would pass it is refused.
inline constexpr int64_t kMaxTableBytes = 256LL << 20;

// True for the kinds that hold values (1..25 without 17).
constexpr bool IsValueKind(uint8_t kind) { return kind >= 1 && kind <= 25 && kind != 17; }

// True for the kinds stored as a 32-bit signed integer column.
constexpr bool IsInt32Kind(uint8_t kind) {
  return kind == 1 || kind == 10 || kind == 12 || kind == 14 || kind == 19 || kind == 21;
}

// Size of one stored value of a fixed-size kind (for 15 and 16 the code,
// for 24 the offset); 0 for kinds sized by the field's width (2, 11, 22,
// 23) and for kinds without values.
constexpr int32_t FixedKindSize(uint8_t kind) {
  switch (kind) {
    case 1: case 6: case 8: case 10: case 12: case 14: case 19: case 21: case 24: case 25:
      return 4;
    case 3: case 4: case 16: case 18:
      return 1;
    case 5: case 15:
      return 2;
    case 7: case 9: case 13: case 20:
      return 8;
    default:
      return 0;
  }
}

}  // namespace korvel
