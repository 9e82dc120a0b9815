// Snapshot loading: LoadColumn and the snapshot body. Everything read is
// bounded by the bytes that remain; no allocation exceeds what the payload
// holds (besides the view, bounded by kMaxRecords).
#include <algorithm>
#include <cstring>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/ks_base_c.h"
#include "table/table_format.h"
#include "table/table_registry.h"

namespace korvel {

namespace {

// Whether a descriptor keeps to the width ceilings of its kind.
bool WidthsValid(const FieldDescriptor& d) {
  const bool text_width_ok = d.text_width >= 0 && d.text_width <= kMaxTextSlot;
  switch (d.kind) {
    case kFieldText:
      return d.width >= 0 && d.width <= kMaxTextSlot;
    case kFieldBlock:
    case kFieldFlags:
      return d.width >= 0 && d.width <= kMaxBlockBytes;
    case kFieldTextList:
      return d.width >= 0 && text_width_ok && int64_t{d.width} * d.text_width <= kMaxBlockBytes;
    case kFieldDict16:
    case kFieldDict8:
      return text_width_ok;
    default:
      return true;
  }
}

// Bytes of one record in a snapshot column.
size_t SnapshotEntrySize(const FieldDescriptor& d) {
  switch (d.kind) {
    case kFieldText:
    case kFieldBlock:
    case kFieldFlags:
      return static_cast<size_t>(d.width);
    case kFieldTextList:
      return static_cast<size_t>(d.width) * static_cast<size_t>(d.text_width);
    default:
      return static_cast<size_t>(FixedKindSize(d.kind));
  }
}

}  // namespace

bool TKSBaseC::LoadColumn(const FieldDescriptor& d, std::string_view payload, size_t* position,
                          int32_t field_index) {
  const int32_t n = count_;
  if (n <= 0) {
    total_ = 0;
    count_ = 0;
    return true;
  }
  if (!WidthsValid(d)) return false;
  if (!IsValueKind(d.kind)) return true;
  FieldKSB* f = Field(field_index);
  // A second descriptor of a known name is read past but not stored when
  // its layout differs from the field's.
  const bool store = f != nullptr && f->kind() == d.kind && f->width() == d.width &&
                     f->text_width() == d.text_width;

  ByteReader in(payload);
  if (*position > payload.size()) return false;
  in.Skip(*position);

  const size_t entry = SnapshotEntrySize(d);
  const size_t wanted = static_cast<size_t>(n);
  const size_t whole = entry == 0 ? wanted : std::min(wanted, in.remaining() / entry);
  if (store) {
    f->rows_ = whole;
    f->column_.assign(in.current(), in.current() + whole * entry);
    if (d.kind == kFieldBoolean)
      for (uint8_t& b : f->column_) b = b != 0 ? 1 : 0;
    f->dict_keys_.clear();
    f->dict_texts_.clear();
    f->heap_.clear();
  }
  in.Skip(whole * entry);
  *position = in.position();
  if (whole < wanted) return false;

  if (d.kind == kFieldDict16 || d.kind == kFieldDict8) {
    int32_t entries = 0;
    if (!in.GetI32(&entries) || entries < 0) {
      *position = in.position();
      return false;
    }
    const size_t key_size = d.kind == kFieldDict16 ? 4 : 2;
    const size_t slot = static_cast<size_t>(d.text_width);
    const size_t fit = std::min(static_cast<size_t>(entries), in.remaining() / (key_size + slot));
    if (store) {
      f->dict_keys_.reserve(fit);
      f->dict_texts_.reserve(fit);
    }
    for (size_t i = 0; i < fit; ++i) {
      const uint8_t* p = in.current();
      if (store) {
        f->dict_keys_.push_back(key_size == 4 ? DecodeU32(p) : DecodeU16(p));
        f->dict_texts_.push_back(slot > 0 ? DecodeSlotText(p + key_size, slot) : std::string());
      }
      in.Skip(key_size + slot);
    }
    *position = in.position();
    return fit == static_cast<size_t>(entries);
  }

  if (d.kind == kFieldHeap) {
    int32_t heap_size = 0;
    if (!in.GetI32(&heap_size) || heap_size < 0) {
      *position = in.position();
      return false;
    }
    const size_t fit = std::min(static_cast<size_t>(heap_size), in.remaining());
    if (store) {
      f->heap_.assign(reinterpret_cast<const char*>(in.current()), fit);
      if (f->heap_.empty()) f->heap_.assign(1, '\0');
    }
    in.Skip(fit);
    *position = in.position();
    return fit == static_cast<size_t>(heap_size);
  }
  return true;
}

bool LoadSnapshotInto(TKSBaseC* table, std::string_view payload, size_t* bytes_read,
                      bool* complete) {
  using namespace table_format;
  *bytes_read = 0;
  *complete = false;
  ByteReader in(payload);
  std::string name;
  int32_t records = 0, fields = 0;
  if (!GetNameSlot(in, kTableNameCapacity, &name) || !in.GetI32(&records) ||
      !in.GetI32(&fields))
    return false;
  if (records < 0 || records > kMaxRecords || fields < 0) return false;

  table->ClearStructure();
  table->SetCount(records);
  size_t pos = in.position();
  bool whole = true;
  for (int32_t i = 0; i < fields; ++i) {
    if (payload.size() - pos < kDescriptorSize) {
      whole = false;
      break;
    }
    const char* p = payload.data() + pos;
    FieldDescriptor d;
    d.tag = DecodeI32(p + kDescriptorTagOffset);
    d.name = DecodeSlotText(p + kDescriptorNameOffset, kFieldSlotSize);
    d.kind = static_cast<uint8_t>(p[kDescriptorKindOffset]);
    d.width = DecodeI32(p + kDescriptorWidthOffset);
    d.text_width = DecodeI32(p + kDescriptorTextWidthOffset);
    d.reserved = DecodeI32(p + kDescriptorReservedOffset);
    if (!WidthsValid(d)) {
      whole = false;
      break;
    }
    pos += kDescriptorSize;
    const int32_t index = table->AddField(d);
    if (!table->LoadColumn(d, payload, &pos, index)) {
      whole = false;
      break;
    }
  }
  *bytes_read = pos;
  *complete = whole;
  return true;
}

}  // namespace korvel
