// The program's version: the text compiled in from the project version
// ("a.b.c.d") and its split into the four numbers sent to the message server.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace korvel {

// Splits a version text into four numbers. A text without '.' gives
// 0, 0, 0, 0. Otherwise numbers 1 to 3 are the texts before the first three
// '.' in turn and number 4 is whatever remains; a missing part or one that is
// not a decimal number gives 0, so "8.1" gives 8, 0, 0, 1. Each number keeps
// its low 16 bits. Thread-safe.
std::array<uint16_t, 4> ParseVersionNumbers(const std::string& text);

// The version text compiled into the program, e.g. "8.1.0.0".
const char* ProgramVersionText();

}  // namespace korvel
