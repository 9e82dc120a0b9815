#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>

namespace korvel {
namespace {

// One iconv descriptor per thread and direction: a descriptor keeps shift
// state and must not be used by two threads at once; opening one per call
// would cost a module lookup each time.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (ok()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

iconv_t Utf8ToCp1251Descriptor() {
  thread_local IconvHandle handle("WINDOWS-1251", "UTF-8");
  return handle.ok() ? handle.get() : reinterpret_cast<iconv_t>(-1);
}

iconv_t Cp1251ToUtf8Descriptor() {
  thread_local IconvHandle handle("UTF-8", "WINDOWS-1251");
  return handle.ok() ? handle.get() : reinterpret_cast<iconv_t>(-1);
}

bool InRange(uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; }

// The UTF-8 sequence at p (n > 0 bytes available): returns the number of
// bytes it spans and whether it is a valid character. For an invalid
// sequence the span is its longest valid-looking prefix (at least 1 byte),
// so that one broken character turns into one replacement.
size_t Utf8Step(const uint8_t* p, size_t n, bool* valid) {
  const uint8_t b0 = p[0];
  *valid = false;
  if (b0 < 0x80) {
    *valid = true;
    return 1;
  }
  size_t len = 0;
  uint8_t lo = 0x80, hi = 0xBF;  // range of the second byte
  if (InRange(b0, 0xC2, 0xDF)) {
    len = 2;
  } else if (InRange(b0, 0xE0, 0xEF)) {
    len = 3;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (InRange(b0, 0xF0, 0xF4)) {
    len = 4;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 1;
  }
  size_t i = 1;
  for (; i < len; ++i) {
    if (i >= n) return i;
    const uint8_t b = p[i];
    if (i == 1 ? !InRange(b, lo, hi) : !InRange(b, 0x80, 0xBF)) return i;
  }
  *valid = true;
  return len;
}

// Converts through cd; every sequence iconv refuses (invalid input or a
// character the target cannot hold) becomes one "?".
std::string Convert(iconv_t cd, std::string_view in, bool from_utf8) {
  if (in.empty()) return {};
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // No converter on this system: keep ASCII, replace the rest.
    std::string out(in);
    for (char& c : out)
      if (static_cast<uint8_t>(c) >= 0x80) c = '?';
    return out;
  }
  // One Windows-1251 byte becomes at most 3 UTF-8 bytes; UTF-8 never grows.
  std::string out(from_utf8 ? in.size() : in.size() * 3, '\0');
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // initial state
  char* in_ptr = const_cast<char*>(in.data());
  size_t in_left = in.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  while (in_left > 0) {
    if (iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1)) break;
    if (errno == E2BIG || out_left == 0) {  // not expected (sized above), but stay safe
      const size_t used = out.size() - out_left;
      out.resize(out.size() * 2 + 16);
      out_ptr = out.data() + used;
      out_left = out.size() - used;
      continue;
    }
    size_t skip = 1;
    if (from_utf8) {
      bool valid = false;
      skip = Utf8Step(reinterpret_cast<const uint8_t*>(in_ptr), in_left, &valid);
    }
    *out_ptr++ = '?';
    --out_left;
    in_ptr += skip;
    in_left -= skip;
  }
  out.resize(out.size() - out_left);
  return out;
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
  return Convert(Utf8ToCp1251Descriptor(), utf8, true);
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
  return Convert(Cp1251ToUtf8Descriptor(), cp1251, false);
}

std::string Utf8ToCp1251Cut(std::string_view utf8, size_t max_bytes) {
  std::string text = Utf8ToCp1251(utf8);
  if (text.size() > max_bytes) text.resize(max_bytes);
  return text;
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t n = bytes.size();
  while (n > 0) {
    bool valid = false;
    const size_t step = Utf8Step(p, n, &valid);
    if (!valid) return false;
    p += step;
    n -= step;
  }
  return true;
}

std::string ReplaceControlBytes(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) c = '?';
  }
  return out;
}

}  // namespace korvel
