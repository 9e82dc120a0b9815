// The link's settings from `korvel.ini`.
//
//   [ServerHost] Address     text   "127.0.0.1"  re-read before every attempt
//   [ServerHost] Port        int    12543        re-read before every attempt
//   [ServerHost] PacketSize  int    64000        thread start only
//   [ServerHost] Compression bool   false        thread start only
//   [main]       Place       int    1            re-read before every attempt;
//                                                only its low 8 bits count
#pragma once

#include <cstdint>
#include <string>

#include "platform/settings.h"

namespace korvel {

struct LinkSettings {
  std::string address = "127.0.0.1";  // dotted IPv4, no name lookup
  uint16_t port = 12543;
  int32_t packet_size = 64000;
  bool compression = false;
  uint8_t place = 1;
};

// Everything, as at thread start.
LinkSettings ReadLinkSettings(const Settings& ini);
// Address, Port and Place only, as before each connection attempt; the other
// members of *out keep their values.
void RereadLinkTarget(const Settings& ini, LinkSettings* out);

}  // namespace korvel
