// Payloads of the greeting the link sends right after it connects, in this
// order: msgLogin, msgClientFlags, msgClientPlace, msgClientVersion.
//
//   msgLogin          u16 client kind, 63
//   msgClientFlags    8 bytes 00 00 00 00 00 00 00 01
//   msgClientPlace    1 byte, the Place setting
//   msgClientVersion  four u16: major, minor, release, build
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

std::string BuildLoginPayload();
std::string BuildClientFlagsPayload();
std::string BuildClientPlacePayload(uint8_t place);
// The four numbers of a version text ("8.1" gives 8, 0, 0, 1).
std::string BuildClientVersionPayload(std::string_view version_text);

}  // namespace korvel
