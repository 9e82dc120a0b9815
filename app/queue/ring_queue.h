// The ring queue that hands byte messages from thread to thread.
//
//   slots 0..999, each holding its own copy of one message (empty when free)
//   W: the slot the next accepted message goes into
//   R: the slot the next taken message comes from
//   F: set when W caught up with R by a put (full); empty is W == R, !F
//
// Put copies the caller's bytes; Take hands out the oldest message as a
// string the caller owns. There is no count and no per-message header: a
// message is only its bytes. Capacity is fixed; a full queue refuses a put
// (the producer is never blocked) and the message is lost.
//
// Two queues share this design and differ only in what a zero-length
// message means:
//   coordinator inbound queue: a zero-length message is taken out of the
//     queue but reported as not delivered (which ends the coordinator's
//     drain for that pass);
//   link outbound queue: any message taken is delivered, an empty one too.
//
// Thread safety: any number of producers and consumers may call at once;
// each operation holds the queue's one lock for its whole duration and takes
// no other lock, so a caller may hold its own locks around it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/thread_annotations.h"

namespace korvel {

class RingQueue {
 public:
  static constexpr size_t kSlotCount = 1000;

  // What a taken zero-length message counts as.
  enum class EmptyMessage {
    kNotDelivered,  // coordinator inbound queue
    kDelivered,     // link outbound queue
  };

  struct Taken {
    bool delivered = false;
    std::string bytes;
  };

  // W, R and F at one moment, for tests and diagnostics.
  struct State {
    size_t write_index = 0;
    size_t read_index = 0;
    bool full = false;
  };

  explicit RingQueue(EmptyMessage empty_message) : empty_message_(empty_message) {}
  RingQueue(const RingQueue&) = delete;
  RingQueue& operator=(const RingQueue&) = delete;

  // Stores a copy of `length` bytes at `bytes`. False when the queue is full
  // (nothing is stored). REQUIRES: bytes points to length readable bytes
  // (may be null when length is 0).
  bool Put(const void* bytes, size_t length) KORVEL_EXCLUDES(mu_);
  bool Put(std::string_view bytes) KORVEL_EXCLUDES(mu_) { return Put(bytes.data(), bytes.size()); }

  // Takes the oldest message out of the queue. An empty queue gives
  // {false, ""} and changes nothing. A zero-length message is removed in
  // both variants; whether it is delivered follows EmptyMessage.
  Taken Take() KORVEL_EXCLUDES(mu_);

  State Inspect() const KORVEL_EXCLUDES(mu_);

 private:
  const EmptyMessage empty_message_;
  mutable Mutex mu_;
  std::array<std::string, kSlotCount> slots_ KORVEL_GUARDED_BY(mu_);
  size_t write_ KORVEL_GUARDED_BY(mu_) = 0;
  size_t read_ KORVEL_GUARDED_BY(mu_) = 0;
  bool full_ KORVEL_GUARDED_BY(mu_) = false;
};

// The coordinator inbound queue: close requests from the main thread.
inline constexpr RingQueue::EmptyMessage kCoordinatorInbound = RingQueue::EmptyMessage::kNotDelivered;
// The link outbound queue: framed messages for the message server.
inline constexpr RingQueue::EmptyMessage kLinkOutbound = RingQueue::EmptyMessage::kDelivered;

}  // namespace korvel
