#include "link/wire/frame_codec.h"

#include <zlib.h>

#include <algorithm>

#include "platform/byte_io.h"

namespace korvel {
namespace {

// Owns a z_stream set up for inflation or deflation and ends it once.
class ZStream {
 public:
  enum Mode { kInflate, kDeflate };
  explicit ZStream(Mode mode) : mode_(mode) {
    if (mode == kInflate) {
      ok_ = inflateInit2(&z_, kDeflateWindowBits) == Z_OK;
    } else {
      ok_ = deflateInit2(&z_, kDeflateLevel, Z_DEFLATED, kDeflateWindowBits, kDeflateMemLevel,
                         Z_DEFAULT_STRATEGY) == Z_OK;
    }
  }
  ~ZStream() {
    if (!ok_) return;
    if (mode_ == kInflate) {
      inflateEnd(&z_);
    } else {
      deflateEnd(&z_);
    }
  }
  ZStream(const ZStream&) = delete;
  ZStream& operator=(const ZStream&) = delete;

  bool ok() const { return ok_; }
  z_stream* get() { return &z_; }

 private:
  Mode mode_;
  z_stream z_{};
  bool ok_ = false;
};

// Output grows in steps of at most this many bytes, so a false plain length
// allocates nothing it does not fill.
constexpr size_t kInflateStep = 256 * 1024;

}  // namespace

bool DecodeFrameHeader(const uint8_t* p21, FrameHeader* out) {
  FrameHeader h;
  h.marker = p21[kFrameMarkerOffset];
  h.wire_length = DecodeI32(p21 + kFrameWireLengthOffset);
  h.plain_length = DecodeI32(p21 + kFramePlainLengthOffset);
  if (h.marker != kFrameMarkerPlain && h.marker != kFrameMarkerCompressed) return false;
  if (h.wire_length < 0 || h.wire_length > kMaxFrameLength) return false;
  if (h.plain_length < 0 || h.plain_length > kMaxFrameLength) return false;
  *out = h;
  return true;
}

void PutFrameHeader(std::string* dst, uint8_t marker, int32_t wire_length, int32_t plain_length) {
  PutU8(dst, marker);
  PutU32(dst, 0);
  PutI32(dst, wire_length);
  PutU64(dst, 0);
  PutI32(dst, plain_length);
}

bool DeflateMessage(std::string_view plain, std::string* out) {
  out->clear();
  if (plain.size() > static_cast<size_t>(kMaxFrameLength)) return false;
  ZStream zs(ZStream::kDeflate);
  if (!zs.ok()) return false;
  z_stream* z = zs.get();
  out->resize(deflateBound(z, static_cast<uLong>(plain.size())));
  z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
  z->avail_in = static_cast<uInt>(plain.size());
  z->next_out = reinterpret_cast<Bytef*>(out->data());
  z->avail_out = static_cast<uInt>(out->size());
  // deflateBound guarantees room for the whole stream in one call.
  if (deflate(z, Z_FINISH) != Z_STREAM_END) {
    out->clear();
    return false;
  }
  out->resize(z->total_out);
  return true;
}

std::string EncodeFrame(std::string_view message, bool compress) {
  if (message.size() > static_cast<size_t>(kMaxFrameLength)) return {};
  const auto plain_length = static_cast<int32_t>(message.size());
  std::string frame;
  if (compress) {
    std::string body;
    if (!DeflateMessage(message, &body)) return {};
    if (body.size() > static_cast<size_t>(kMaxFrameLength)) return {};
    frame.reserve(kFrameHeaderSize + body.size());
    PutFrameHeader(&frame, kFrameMarkerCompressed, static_cast<int32_t>(body.size()),
                   plain_length);
    frame.append(body);
  } else {
    frame.reserve(kFrameHeaderSize + message.size());
    PutFrameHeader(&frame, kFrameMarkerPlain, plain_length, plain_length);
    frame.append(message);
  }
  return frame;
}

bool InflateExact(std::string_view body, int32_t plain_length, std::string* out) {
  out->clear();
  if (plain_length < 0 || plain_length > kMaxFrameLength) return false;
  ZStream zs(ZStream::kInflate);
  if (!zs.ok()) return false;
  z_stream* z = zs.get();
  z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
  z->avail_in = static_cast<uInt>(std::min<size_t>(body.size(), UINT32_MAX));
  const auto want = static_cast<size_t>(plain_length);
  // One spare byte beyond the plain length lets an over-long stream show
  // itself without ever holding more than plain_length + 1 bytes.
  const size_t limit = want + 1;
  size_t produced = 0;
  int rc = Z_OK;
  while (true) {
    if (produced == limit) break;  // more than plain_length: too long
    const size_t step = std::min(kInflateStep, limit - produced);
    out->resize(produced + step);
    z->next_out = reinterpret_cast<Bytef*>(out->data() + produced);
    z->avail_out = static_cast<uInt>(step);
    rc = inflate(z, Z_NO_FLUSH);
    produced = out->size() - z->avail_out;
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK) break;  // corrupt data, or Z_BUF_ERROR: input ran out
  }
  if (rc != Z_STREAM_END || produced != want) {
    out->clear();
    out->shrink_to_fit();
    return false;
  }
  out->resize(produced);
  return true;
}

}  // namespace korvel
