// A TCP connect with a bounded wait that another thread can cut short.
//
// The connect is non-blocking; the wait for it is polled in slices of at
// most 50 ms, and between slices `stop` is read, so a thread that is being
// shut down leaves a connect within about 50 ms instead of waiting out the
// whole timeout. On success the socket is back in blocking mode.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/wire/tcp_socket.h"

namespace korvel {

struct ConnectTarget {
  std::string host;
  int32_t port = 0;
};

enum class HostLookup {
  kDottedOnly,  // dotted-decimal IPv4 only (the link: no name lookup)
  kAllowNames,  // a name is looked up as IPv4 too (the camera probe)
};

// Connects to host:port within timeout_ms. An invalid Socket when the port
// is outside 1..65535 (no connect is tried), the host cannot be read, the
// connect fails, the wait ends, or `stop` (when given) becomes true.
Socket ConnectStoppable(const ConnectTarget& target, int timeout_ms, HostLookup lookup,
                        const std::atomic<bool>* stop);

}  // namespace korvel
