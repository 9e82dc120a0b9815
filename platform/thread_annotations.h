// Lock annotations that clang's -Wthread-safety checks (no-ops elsewhere),
// and a std::mutex wrapper that carries them.
//
//   korvel::Mutex mu_;
//   int count_ KORVEL_GUARDED_BY(mu_);
//   void Add() { korvel::MutexLock lock(mu_); ++count_; }
#pragma once

#include <mutex>

#if defined(__clang__)
#define KORVEL_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KORVEL_THREAD_ANNOTATION(x)
#endif

#define KORVEL_CAPABILITY(x) KORVEL_THREAD_ANNOTATION(capability(x))
#define KORVEL_SCOPED_CAPABILITY KORVEL_THREAD_ANNOTATION(scoped_lockable)
#define KORVEL_GUARDED_BY(x) KORVEL_THREAD_ANNOTATION(guarded_by(x))
#define KORVEL_PT_GUARDED_BY(x) KORVEL_THREAD_ANNOTATION(pt_guarded_by(x))
#define KORVEL_REQUIRES(...) KORVEL_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KORVEL_EXCLUDES(...) KORVEL_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define KORVEL_ACQUIRE(...) KORVEL_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KORVEL_RELEASE(...) KORVEL_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace korvel {

// A std::mutex the analysis knows about.
class KORVEL_CAPABILITY("mutex") Mutex {
 public:
  void Lock() KORVEL_ACQUIRE() { mu_.lock(); }
  void Unlock() KORVEL_RELEASE() { mu_.unlock(); }
  // For std::condition_variable_any and std::unique_lock.
  void lock() KORVEL_ACQUIRE() { mu_.lock(); }
  void unlock() KORVEL_RELEASE() { mu_.unlock(); }

 private:
  std::mutex mu_;
};

// Holds a Mutex for the scope.
class KORVEL_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mu) KORVEL_ACQUIRE(mu) : mu_(mu) { mu_.Lock(); }
  ~MutexLock() KORVEL_RELEASE() { mu_.Unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mu_;
};

}  // namespace korvel
