#include "link/session/greeting.h"

#include "link/wire/wire_format.h"
#include "platform/byte_io.h"
#include "platform/version_text.h"

namespace korvel {

std::string BuildLoginPayload() {
  std::string p;
  PutU16(&p, kClientKind);
  return p;
}

std::string BuildClientFlagsPayload() {
  std::string p(kClientFlagsSize, '\0');
  p.back() = '\x01';
  return p;
}

std::string BuildClientPlacePayload(uint8_t place) { return std::string(1, static_cast<char>(place)); }

std::string BuildClientVersionPayload(std::string_view version_text) {
  std::string p;
  for (uint16_t n : ParseVersionNumbers(std::string(version_text))) PutU16(&p, n);
  return p;
}

}  // namespace korvel
