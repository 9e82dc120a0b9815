#include "app/queue/ring_queue.h"

#include <utility>

namespace korvel {

bool RingQueue::Put(const void* bytes, size_t length) {
  // The copy is made before the lock is taken, so the lock is held only for
  // the index work (a refused put wastes one copy, nothing else).
  std::string copy;
  if (length > 0) copy.assign(static_cast<const char*>(bytes), length);
  MutexLock lock(mu_);
  if (write_ == read_ && full_) return false;
  slots_[write_] = std::move(copy);
  write_ = (write_ + 1) % kSlotCount;
  if (write_ == read_) full_ = true;
  return true;
}

RingQueue::Taken RingQueue::Take() {
  Taken taken;
  MutexLock lock(mu_);
  if (write_ == read_ && !full_) return taken;
  // Moving out leaves the slot empty and hands the caller a string of its own.
  taken.bytes = std::exchange(slots_[read_], std::string());
  read_ = (read_ + 1) % kSlotCount;
  if (read_ != write_) full_ = false;
  taken.delivered = !taken.bytes.empty() || empty_message_ == EmptyMessage::kDelivered;
  return taken;
}

RingQueue::State RingQueue::Inspect() const {
  MutexLock lock(mu_);
  return State{write_, read_, full_};
}

}  // namespace korvel
