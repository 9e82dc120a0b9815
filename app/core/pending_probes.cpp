#include "app/core/pending_probes.h"

#include <algorithm>
#include <cmath>

namespace korvel {

std::string PendingProbes::Key(int32_t n_obj, const std::string& ip) {
  return std::to_string(n_obj) + "@" + ip;
}

void PendingProbes::Add(int32_t n_obj, const std::string& ip, DateTime now, int64_t now_ms) {
  Entry e;
  e.key = Key(n_obj, ip);
  // Whole seconds, as the text shows them.
  const DateTime expiry = std::floor((now * 86400.0) + 20.0 + 1e-6) / 86400.0;
  e.text = FormatDateTimeDefault(expiry) + "#" + e.key;
  e.expiry_ms = now_ms + kLifetimeMs;
  entries_.push_back(std::move(e));
}

bool PendingProbes::Contains(int32_t n_obj, const std::string& ip) const {
  const std::string key = Key(n_obj, ip);
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.key == key; });
}

void PendingProbes::Expire(int64_t now_ms) {
  std::erase_if(entries_, [&](const Entry& e) { return now_ms > e.expiry_ms; });
}

}  // namespace korvel
