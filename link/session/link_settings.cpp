#include "link/session/link_settings.h"

namespace korvel {

LinkSettings ReadLinkSettings(const Settings& ini) {
  LinkSettings s;
  RereadLinkTarget(ini, &s);
  s.packet_size = ini.ReadInteger("ServerHost", "PacketSize", 64000);
  s.compression = ini.ReadBool("ServerHost", "Compression", false);
  return s;
}

void RereadLinkTarget(const Settings& ini, LinkSettings* out) {
  out->address = ini.ReadString("ServerHost", "Address", "127.0.0.1");
  // A port outside 0..65535 keeps its low 16 bits, as a 16-bit field would.
  out->port = static_cast<uint16_t>(ini.ReadInteger("ServerHost", "Port", 12543));
  out->place = static_cast<uint8_t>(ini.ReadInteger("main", "Place", 1));
}

}  // namespace korvel
