// The pending-probe list: one entry per probe started in the last 20 s.
//
// Each entry keeps its text, "<expiry in the default date-time rendering,
// whole seconds>#<n_obj>@<ip>" (the part after '#' is its key), and beside it
// the expiry as a number on the monotonic millisecond clock, so that expiry
// needs no parsing of the text and a wall-clock jump cannot keep an entry
// for ever.
//
// The key is the candidate camera's own (n_obj, ip): a camera is skipped only
// while its own probe is pending, so every due camera is probed and none
// twice within 20 s.
//
// Threads: the coordinator thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/date_time.h"

namespace korvel {

class PendingProbes {
 public:
  static constexpr int64_t kLifetimeMs = 20000;

  struct Entry {
    std::string text;
    std::string key;
    int64_t expiry_ms = 0;
  };

  static std::string Key(int32_t n_obj, const std::string& ip);

  // Adds the entry of a probe started at now (wall clock, for the text) /
  // now_ms (monotonic): expiry 20 s later.
  void Add(int32_t n_obj, const std::string& ip, DateTime now, int64_t now_ms);
  bool Contains(int32_t n_obj, const std::string& ip) const;
  // Removes every entry whose expiry now_ms has passed.
  void Expire(int64_t now_ms);

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace korvel
