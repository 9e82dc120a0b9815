// Letter case in Windows-1251, one table for both directions.
//
// Capital -> small letter pairs of the code page:
//   41-5A <-> 61-7A  Latin A-Z / a-z
//   C0-DF <-> E0-FF  Cyrillic А-Я / а-я
//   A8 <-> B8 (Ё ё)  81 <-> 83 (Ѓ ѓ)  80 <-> 90 (Ђ ђ)  8A <-> 9A (Љ љ)
//   8C-8F <-> 9C-9F (Њ Ќ Ћ Џ)         A1 <-> A2 (Ў ў)  B2 <-> B3 (І і)
//   A5 <-> B4 (Ґ ґ)  AA <-> BA (Є є)  A3 <-> BC (Ј ј)  BD <-> BE (Ѕ ѕ)
//   AF <-> BF (Ї ї)
// every other byte maps to itself in both directions.
// Pure functions over constant tables; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

// The small letter of a Windows-1251 byte (itself when it has none).
uint8_t LowerCp1251(uint8_t byte);
// A copy of `text` with every byte mapped through LowerCp1251.
std::string LowerCp1251(std::string_view text);

// The capital of a Windows-1251 byte (itself when it has none).
uint8_t UpperCp1251(uint8_t byte);
// A copy of `text` with every byte mapped through UpperCp1251.
std::string UpperCp1251(std::string_view text);

}  // namespace korvel
