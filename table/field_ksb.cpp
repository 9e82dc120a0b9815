#include "table/field_ksb.h"

#include <cstring>

namespace korvel {

namespace {
// Bytes one record's entry takes in the column of a field; 0 when the
// descriptor's widths break the ceilings (the field then holds no values).
size_t EntrySizeOf(uint8_t kind, int32_t width, int32_t text_width) {
  switch (kind) {
    case kFieldText:
      return width >= 0 && width <= kMaxTextSlot ? static_cast<size_t>(width) : 0;
    case kFieldBlock:
    case kFieldFlags:
      return width >= 0 && width <= kMaxBlockBytes ? static_cast<size_t>(width) : 0;
    case kFieldTextList: {
      if (width < 0 || text_width < 0 || text_width > kMaxTextSlot) return 0;
      const int64_t bytes = int64_t{width} * text_width;
      return bytes <= kMaxBlockBytes ? static_cast<size_t>(bytes) : 0;
    }
    default:
      return static_cast<size_t>(FixedKindSize(kind));
  }
}
}  // namespace

FieldKSB::FieldKSB(TKSBaseC* owner, const FieldDescriptor& d)
    : owner_(owner),
      tag_(d.tag),
      name_(d.name),
      kind_(d.kind),
      width_(d.width),
      text_width_(d.text_width),
      entry_size_(EntrySizeOf(d.kind, d.width, d.text_width)) {}

const uint8_t* FieldKSB::Entry(int64_t r) const {
  if (r < 1 || static_cast<uint64_t>(r) > rows_ || entry_size_ == 0) return nullptr;
  return column_.data() + static_cast<size_t>(r - 1) * entry_size_;
}

uint8_t* FieldKSB::MutableEntry(int64_t r) {
  if (r < 1 || static_cast<uint64_t>(r) > rows_ || entry_size_ == 0) return nullptr;
  return column_.data() + static_cast<size_t>(r - 1) * entry_size_;
}

void FieldKSB::ResizeColumn(size_t rows) {
  if (!IsValueKind(kind_)) return;
  column_.resize(rows * entry_size_);
  rows_ = rows;
}

}  // namespace korvel
