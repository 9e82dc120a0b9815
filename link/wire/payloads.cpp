#include "link/wire/payloads.h"

#include "platform/counted_text.h"

namespace korvel {

// ---- archive sizes record and poll -------------------------------------------

void PutArchiveSizes(std::string* dst, const ArchiveSizes& sizes) {
  PutNameSlot(dst, sizes.name, kArchiveNameCapacity);
  PutI32(dst, sizes.pool_bytes);
  PutI32(dst, sizes.record_bytes);
  PutI32(dst, sizes.index_bytes);
}

bool ReadArchiveSizes(ByteReader& in, ArchiveSizes* out) {
  if (in.remaining() < kArchiveSizesRecordSize) return false;
  ArchiveSizes s;
  GetNameSlot(in, kArchiveNameCapacity, &s.name);
  in.GetI32(&s.pool_bytes);
  in.GetI32(&s.record_bytes);
  in.GetI32(&s.index_bytes);
  *out = std::move(s);
  return true;
}

std::string BuildPollPayload(const ArchiveSizes* sizes) {
  std::string out;
  if (sizes == nullptr) return out;
  out.reserve(kPollPayloadWithSizes);
  PutI32(&out, 1);
  PutArchiveSizes(&out, *sizes);
  return out;
}

bool ParsePollPayload(std::string_view payload, std::optional<ArchiveSizes>* out) {
  out->reset();
  if (payload.empty()) return true;
  ByteReader in(payload);
  int32_t count = 0;
  if (!in.GetI32(&count)) return false;
  if (count == 0) return true;
  if (count != 1) return false;
  ArchiveSizes sizes;
  if (!ReadArchiveSizes(in, &sizes)) return false;
  *out = std::move(sizes);
  return true;
}

// ---- poll reply ----------------------------------------------------------------

std::string BuildPollReplyPayload(double server_time, uint8_t count,
                                  std::string_view sub_messages) {
  std::string out;
  out.reserve(kPollReplyHeaderSize + sub_messages.size());
  PutF64(&out, server_time);
  PutU8(&out, count);
  out.append(sub_messages);
  return out;
}

PollReplyHead ReadPollReplyHead(std::string_view payload) {
  PollReplyHead head;
  head.sub_offset = payload.size();
  if (payload.size() < kPollReplyTimeSize) return head;
  head.has_time = true;
  head.server_time = DecodeF64(payload.data());
  if (payload.size() > kPollReplyTimeSize) {
    head.count = static_cast<uint8_t>(payload[kPollReplyTimeSize]);
    head.sub_offset = kPollReplyHeaderSize;
  }
  return head;
}

// ---- archive chunk -------------------------------------------------------------

void EncodeArchiveChunkHeader(std::string* dst, const ArchiveChunkHeader& h) {
  PutNameSlot(dst, h.name, kArchiveNameCapacity);
  PutI32(dst, h.pool_offset);
  PutI32(dst, h.pool_length);
  PutI32(dst, h.record_offset);
  PutI32(dst, h.record_length);
  PutI32(dst, h.index_offset);
  PutI32(dst, h.index_length);
}

bool ReadArchiveChunkHeader(ByteReader& in, ArchiveChunkHeader* out) {
  if (in.remaining() < kArchiveChunkHeaderSize) return false;
  ArchiveChunkHeader h;
  GetNameSlot(in, kArchiveNameCapacity, &h.name);
  in.GetI32(&h.pool_offset);
  in.GetI32(&h.pool_length);
  in.GetI32(&h.record_offset);
  in.GetI32(&h.record_length);
  in.GetI32(&h.index_offset);
  in.GetI32(&h.index_length);
  *out = std::move(h);
  return true;
}

int64_t ArchiveChunkBlockBytes(const ArchiveChunkHeader& h) {
  int64_t sum = 0;
  for (int32_t n : {h.pool_length, h.record_length, h.index_length}) {
    if (n > 0) sum += n;
  }
  return sum;
}

// ---- deletion notice -------------------------------------------------------------

std::string BuildDeletionNotice(std::string_view table, int32_t n_abs) {
  std::string out;
  out.reserve(kDeletionNoticeSize);
  PutNameSlot(&out, table, kTableNameCapacity);
  PutI32(&out, n_abs);
  return out;
}

bool ReadDeletionNotice(ByteReader& in, std::string* table, int32_t* n_abs) {
  if (in.remaining() < kDeletionNoticeSize) return false;
  GetNameSlot(in, kTableNameCapacity, table);
  in.GetI32(n_abs);
  return true;
}

}  // namespace korvel
