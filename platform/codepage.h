// Windows-1251 <-> UTF-8, through iconv.
//
// Inside the engine and the link every text is Windows-1251 bytes in a
// std::string; conversion happens only at the edges (screen, file names on
// disk, the settings file when it is UTF-8). Thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

// UTF-8 to Windows-1251. A character that Windows-1251 cannot hold becomes
// "?"; an invalid UTF-8 byte becomes "?" as well.
std::string Utf8ToCp1251(std::string_view utf8);
// Windows-1251 to UTF-8 (every byte maps; 0x98 becomes "?").
std::string Cp1251ToUtf8(std::string_view cp1251);

// Converts to Windows-1251 and cuts the result to max_bytes bytes: the cuts
// of 8, 15, 30 and 255 characters count Windows-1251 bytes.
std::string Utf8ToCp1251Cut(std::string_view utf8, size_t max_bytes);

// True when the bytes are valid UTF-8 (used to tell the settings file's
// encoding).
bool IsValidUtf8(std::string_view bytes);

// Replaces bytes below 0x20 and 0x7F with "?", for texts from a peer that go
// into a log line.
std::string ReplaceControlBytes(std::string_view text);

}  // namespace korvel
