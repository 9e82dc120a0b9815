// Case-insensitive substring search over Windows-1251 bytes.
//
// Upper-case mapping of code page 1251, applied to both needle and haystack:
//   61-7A -> 41-5A   Latin a-z
//   E0-FF -> C0-DF   Cyrillic а-я
//   B8 -> A8 (ё)     83 -> 81 (ѓ)   90 -> 80 (ђ)   9A -> 8A (љ)
//   9C-9F -> 8C-8F (њ ќ ћ џ)        A2 -> A1 (ў)   B3 -> B2 (і)
//   B4 -> A5 (ґ)     BA -> AA (є)   BC -> A3 (ј)   BE -> BD (ѕ)   BF -> AF (ї)
// every other byte maps to itself. Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// The capital of a Windows-1251 byte (itself when it has none).
uint8_t UpperCp1251(uint8_t byte);

// A copy of `text` with every byte mapped through UpperCp1251.
std::string UpperCp1251(std::string_view text);

// 1-based position of the first case-insensitive occurrence of `needle` in
// `haystack` at or after the 1-based position `start` (a start below 1
// counts as 1), or 0 when there is none, when either text is empty, or when
// no candidate position remains.
int32_t FindTextNoCase(std::string_view needle, std::string_view haystack, int32_t start);

}  // namespace korvel
