// Little-endian byte helpers shared by every wire and file layout.
//
// Byte strings are std::string (the program's texts are Windows-1251 bytes,
// so a message and a text share one type). Writers append to a string;
// ByteReader reads from a bounded view and never reads past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace korvel {

// ---- writers: append the value's little-endian bytes to *dst -------------

inline void PutU8(std::string* dst, uint8_t v) { dst->push_back(static_cast<char>(v)); }
inline void PutU16(std::string* dst, uint16_t v) {
  char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
  dst->append(b, 2);
}
inline void PutU32(std::string* dst, uint32_t v) {
  char b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>(v >> (8 * i));
  dst->append(b, 4);
}
inline void PutU64(std::string* dst, uint64_t v) {
  char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<char>(v >> (8 * i));
  dst->append(b, 8);
}
inline void PutI32(std::string* dst, int32_t v) { PutU32(dst, static_cast<uint32_t>(v)); }
inline void PutI64(std::string* dst, int64_t v) { PutU64(dst, static_cast<uint64_t>(v)); }
inline void PutF32(std::string* dst, float v) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  PutU32(dst, u);
}
inline void PutF64(std::string* dst, double v) {
  uint64_t u;
  std::memcpy(&u, &v, 8);
  PutU64(dst, u);
}

// ---- fixed-position decoders ---------------------------------------------
// REQUIRES: p points to at least the value's width in readable bytes.

inline uint16_t DecodeU16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
inline uint32_t DecodeU32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}
inline uint64_t DecodeU64(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return uint64_t{DecodeU32(b)} | (uint64_t{DecodeU32(b + 4)} << 32);
}
inline int32_t DecodeI32(const void* p) { return static_cast<int32_t>(DecodeU32(p)); }
inline int64_t DecodeI64(const void* p) { return static_cast<int64_t>(DecodeU64(p)); }
inline float DecodeF32(const void* p) {
  uint32_t u = DecodeU32(p);
  float v;
  std::memcpy(&v, &u, 4);
  return v;
}
inline double DecodeF64(const void* p) {
  uint64_t u = DecodeU64(p);
  double v;
  std::memcpy(&v, &u, 8);
  return v;
}

// Overwrites 4 bytes at dst[pos]. REQUIRES: pos + 4 <= dst->size().
inline void PatchU32(std::string* dst, size_t pos, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*dst)[pos + i] = static_cast<char>(v >> (8 * i));
}

// ---- bounded reader ------------------------------------------------------

// Reads values in order from a view of bytes. Every Get checks the bytes that
// remain first; a read that does not fit fails, leaves the position where it
// was and returns false. Not thread-safe; the bytes must outlive the reader.
class ByteReader {
 public:
  ByteReader(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  explicit ByteReader(std::string_view bytes) : ByteReader(bytes.data(), bytes.size()) {}

  size_t position() const { return pos_; }
  size_t size() const { return size_; }
  size_t remaining() const { return size_ - pos_; }
  bool empty() const { return pos_ == size_; }
  const uint8_t* current() const { return data_ + pos_; }

  bool Skip(size_t n) {
    if (n > remaining()) return false;
    pos_ += n;
    return true;
  }
  bool GetU8(uint8_t* v) { return Fixed(1, v, [](const uint8_t* p) { return *p; }); }
  bool GetU16(uint16_t* v) { return Fixed(2, v, DecodeU16); }
  bool GetU32(uint32_t* v) { return Fixed(4, v, DecodeU32); }
  bool GetI32(int32_t* v) { return Fixed(4, v, DecodeI32); }
  bool GetU64(uint64_t* v) { return Fixed(8, v, DecodeU64); }
  bool GetI64(int64_t* v) { return Fixed(8, v, DecodeI64); }
  bool GetF32(float* v) { return Fixed(4, v, DecodeF32); }
  bool GetF64(double* v) { return Fixed(8, v, DecodeF64); }
  // Copies the next n bytes into *out (replacing its content).
  bool GetBytes(size_t n, std::string* out) {
    if (n > remaining()) return false;
    out->assign(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }
  // A view of the next n bytes, valid as long as the underlying bytes.
  bool GetView(size_t n, std::string_view* out) {
    if (n > remaining()) return false;
    *out = std::string_view(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return true;
  }

 private:
  template <typename T, typename F>
  bool Fixed(size_t n, T* v, F decode) {
    if (n > remaining()) return false;
    *v = static_cast<T>(decode(data_ + pos_));
    pos_ += n;
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace korvel
