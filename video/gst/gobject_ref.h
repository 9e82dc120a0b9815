// GObjectRef<T>: owns one reference to a GObject (GStreamer objects
// included) and drops it on destruction, so no early return leaks one.
#pragma once

#include <glib-object.h>

#include <utility>

namespace korvel {

template <typename T>
class GObjectRef {
 public:
  GObjectRef() = default;
  // Takes over a reference the caller owns (a *_new() result, say).
  explicit GObjectRef(T* owned) : ptr_(owned) {}
  ~GObjectRef() { Reset(); }
  GObjectRef(GObjectRef&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  GObjectRef& operator=(GObjectRef&& other) noexcept {
    if (this != &other) {
      Reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  GObjectRef(const GObjectRef&) = delete;
  GObjectRef& operator=(const GObjectRef&) = delete;

  void Reset(T* owned = nullptr) {
    if (ptr_ != nullptr) g_object_unref(ptr_);
    ptr_ = owned;
  }
  T* get() const { return ptr_; }
  explicit operator bool() const { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace korvel
