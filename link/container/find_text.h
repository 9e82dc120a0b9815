// Case-insensitive substring search over Windows-1251 bytes.
//
// Both texts are compared through UpperCp1251 (platform/cp1251_case.h).
// Pure function; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/cp1251_case.h"

namespace korvel {

// 1-based position of the first case-insensitive occurrence of `needle` in
// `haystack` at or after the 1-based position `start` (a start below 1
// counts as 1), or 0 when there is none, when either text is empty, or when
// no candidate position remains.
int32_t FindTextNoCase(std::string_view needle, std::string_view haystack, int32_t start);

}  // namespace korvel
