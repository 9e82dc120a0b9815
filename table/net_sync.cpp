// Network synchronisation: the edit cycle and the change messages it sends,
// and the application of the server's record updates and deletion notices.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/ks_base_c.h"
#include "table/snapshot_writer.h"
#include "table/table_format.h"

namespace korvel {

namespace {

using namespace table_format;

// Appends the first `slot` bytes of a little-endian value of `n` bytes,
// zero-filled when the slot is wider.
void PutSized(std::string* out, const std::string& value, size_t slot) {
  out->append(value.data(), std::min(value.size(), slot));
  if (slot > value.size()) out->append(slot - value.size(), '\0');
}

// Bytes of a fixed-size value slot: the field's width when it is sane.
bool FixedSlotSize(const FieldKSB* f, size_t* slot) {
  if (f->width() < 0 || f->width() > kMaxBlockBytes) return false;
  *slot = static_cast<size_t>(f->width());
  return true;
}

}  // namespace

void TKSBaseC::SendNetData(int32_t command, const std::string& bytes) {
  if (on_net_data_send_)
    on_net_data_send_(this, command, reinterpret_cast<const uint8_t*>(bytes.data()),
                      static_cast<int32_t>(bytes.size()));
}

void TKSBaseC::Insert() {
  editing_ = true;
  edit_existing_ = false;
  ready_ = false;
}

bool TKSBaseC::Edit() {
  editing_ = true;
  ready_ = false;
  edit_existing_ = true;
  captured_identity_ = AsInteger(FieldByName("n_abs"));
  for (auto& f : fields_) f->edit_.modified = 0;
  for (auto& f : fields_) {
    if (f->kind() != kFieldDateTime) continue;
    const uint8_t* e = f->Entry(current_record_);
    const double stored = e ? DecodeF64(e) : 0;
    f->edit_.date_part = std::trunc(stored);
    f->edit_.time_part = stored - std::trunc(stored);
  }
  return true;
}

void TKSBaseC::Cancel() {
  ready_ = true;
  editing_ = false;
  for (auto& f : fields_) f->edit_.modified = 0;
}

void TKSBaseC::AppendEntry(std::string* out, FieldKSB* f) {
  const EditBuffer& e = f->edit_;
  size_t slot = 0;
  std::string value;
  switch (f->kind()) {
    case 1: case 10: case 12: case 14: case 19: case 21:
      PutI32(&value, e.integer);
      break;
    case kFieldByte: PutU8(&value, e.byte); break;
    case kFieldBoolean: PutU8(&value, e.boolean ? 1 : 0); break;
    case kFieldWord: PutU16(&value, e.word); break;
    case kFieldSingle: PutF32(&value, e.single); break;
    case kFieldDouble: PutF64(&value, e.dbl); break;
    case kFieldUInt32:
    case kFieldSeconds2000: PutU32(&value, e.u32); break;
    case kFieldDateTime: PutF64(&value, e.date_time); break;
    case kFieldInt64:
    case kFieldInt64B: PutI64(&value, e.int64); break;
    case kFieldChar: PutU8(&value, static_cast<uint8_t>(e.character)); break;
    case kFieldBlock:
    case kFieldFlags: value = e.block; break;
    default: break;
  }
  switch (f->kind()) {
    case kFieldText:
      if (f->width() < 0 || f->width() > kMaxTextSlot) return;
      PutNameSlot(out, f->name(), kFieldNameCapacity);
      PutTextSlot(out, e.text, f->width());
      return;
    case kFieldDict16:
    case kFieldDict8:
      if (f->text_width() < 0 || f->text_width() > kMaxTextSlot) return;
      PutNameSlot(out, f->name(), kFieldNameCapacity);
      PutTextSlot(out, e.text, f->text_width());
      return;
    case kFieldHeap:
      PutNameSlot(out, f->name(), kFieldNameCapacity);
      PutCountedText(out, e.text);
      return;
    case kFieldTextList: {
      if (f->entry_size() == 0 && f->width() != 0) return;  // widths beyond the ceilings
      PutNameSlot(out, f->name(), kFieldNameCapacity);
      for (int32_t k = 0; k < f->width(); ++k) {
        const std::string_view text =
            static_cast<size_t>(k) < e.texts.size() ? std::string_view(e.texts[k]) : "";
        PutTextSlot(out, text, f->text_width());
      }
      return;
    }
    default:
      // A kind without a value slot would leave the server misreading every
      // entry after it: such a field is not sent.
      if (!IsValueKind(f->kind()) || !FixedSlotSize(f, &slot)) return;
      PutNameSlot(out, f->name(), kFieldNameCapacity);
      PutSized(out, value, slot);
      return;
  }
}

void TKSBaseC::Post() {
  if (!editing_) {
    ready_ = true;
    return;
  }
  editing_ = false;
  std::string payload;
  PutNameSlot(&payload, name_table_, kTableNameCapacity);
  if (edit_existing_) PutI32(&payload, captured_identity_);
  for (auto& fp : fields_) {
    FieldKSB* f = fp.get();
    if (!slave_field_.empty() && f->name() == slave_field_ && f->kind() == kFieldInt32) {
      f->edit_.integer =
          master_table_ ? AsInteger(master_table_->FieldByName(master_field_)) : 0;
      f->edit_.modified = f->kind();
    }
    if (f->edit_.modified == 0) continue;
    AppendEntry(&payload, f);
    f->edit_.modified = 0;
  }
  PutNameSlot(&payload, kSysUserName, kFieldNameCapacity);
  PutCountedText(&payload, user_name_);
  SendNetData(edit_existing_ ? kCmdUpdate : kCmdInsert, payload);
  ready_ = true;
}

void TKSBaseC::Delete() {
  std::string payload;
  PutNameSlot(&payload, name_table_, kTableNameCapacity);
  PutI32(&payload, AsInteger(FieldByName("n_abs")));
  SendNetData(kCmdDelete, payload);
}

void TKSBaseC::SendDictionaryCode(std::string_view field_name, int32_t code) {
  std::string payload;
  PutNameSlot(&payload, name_table_, kTableNameCapacity);
  PutNameSlot(&payload, field_name, kFieldNameCapacity);
  const uint8_t kind = FieldKind(field_name);
  PutU8(&payload, kind);
  PutU8(&payload, static_cast<uint8_t>(FieldTextWidth(field_name)));
  PutU8(&payload, kDictionaryCodeConstant);
  if (kind == kFieldDict16) {
    PutU16(&payload, static_cast<uint16_t>(code));
  } else if (kind == kFieldDict8) {
    PutU8(&payload, static_cast<uint8_t>(code));
    PutU8(&payload, 0);
  } else {
    PutU16(&payload, 0);
  }
  SendNetData(kCmdDictionaryCode, payload);
}

bool TKSBaseC::StoreUpdateValue(FieldKSB* f, int32_t index, ByteReader& in,
                                RecordUpdateResult* stop) {
  const int64_t r = int64_t{index} + 1;
  uint8_t* entry = f->MutableEntry(r);
  const size_t es = f->entry_size();
  switch (f->kind()) {
    case kFieldText:
    case kFieldBlock:
    case kFieldFlags:
    case kFieldTextList: {
      // The entry is exactly the value slot (w, or w x t bytes).
      if (es == 0 && (f->width() != 0 && !(f->kind() == kFieldTextList && f->text_width() == 0))) {
        *stop = RecordUpdateResult::kNoValueSlot;  // widths beyond the ceilings
        return false;
      }
      if (in.remaining() < es) {
        *stop = RecordUpdateResult::kTruncated;
        return false;
      }
      if (entry) std::memcpy(entry, in.current(), es);
      in.Skip(es);
      return true;
    }
    case kFieldDict16:
    case kFieldDict8: {
      size_t slot = 0;
      const int32_t t = f->text_width();
      if (!FixedSlotSize(f, &slot) || t < 0 || t > kMaxTextSlot) {
        *stop = RecordUpdateResult::kNoValueSlot;
        return false;
      }
      if (in.remaining() < slot + static_cast<size_t>(t)) {
        *stop = RecordUpdateResult::kTruncated;
        return false;
      }
      uint8_t code_bytes[2] = {0, 0};
      std::memcpy(code_bytes, in.current(), std::min(slot, es));
      const uint32_t code = f->kind() == kFieldDict16 ? DecodeU16(code_bytes) : code_bytes[0];
      if (entry) std::memcpy(entry, code_bytes, es);
      in.Skip(slot);
      const std::string text = t > 0 ? DecodeSlotText(in.current(), static_cast<size_t>(t)) : "";
      in.Skip(static_cast<size_t>(t));
      auto& keys = f->dict_keys_;
      const auto it = std::find(keys.begin(), keys.end(), code);
      if (it != keys.end()) {
        f->dict_texts_[it - keys.begin()] = text;
      } else if (code != 0) {
        keys.push_back(code);
        f->dict_texts_.push_back(text);
      }
      return true;
    }
    case kFieldHeap: {
      int32_t heap_size = 0, offset = 0;
      if (in.remaining() < 8) {
        *stop = RecordUpdateResult::kTruncated;
        return false;
      }
      heap_size = DecodeI32(in.current());
      offset = DecodeI32(in.current() + 4);
      if (heap_size < 0 || heap_size > kMaxHeapBytes) {
        *stop = RecordUpdateResult::kBadHeap;
        return false;
      }
      size_t text_size = 0;
      if (heap_size > 0) {
        if (in.remaining() < 9) {
          *stop = RecordUpdateResult::kTruncated;
          return false;
        }
        text_size = 1 + size_t{in.current()[8]};
        if (in.remaining() < 8 + text_size) {
          *stop = RecordUpdateResult::kTruncated;
          return false;
        }
        // The text must lie inside the heap.
        if (offset < 0 || int64_t{offset} + static_cast<int64_t>(text_size) > heap_size) {
          *stop = RecordUpdateResult::kBadHeap;
          return false;
        }
      }
      f->heap_.resize(static_cast<size_t>(heap_size), '\0');
      if (entry) std::memcpy(entry, in.current() + 4, 4);
      if (heap_size > 0)
        std::memcpy(f->heap_.data() + offset, in.current() + 8, text_size);
      in.Skip(8 + text_size);
      return true;
    }
    default: {
      size_t slot = 0;
      if (!IsValueKind(f->kind()) || !FixedSlotSize(f, &slot)) {
        *stop = RecordUpdateResult::kNoValueSlot;
        return false;
      }
      if (in.remaining() < slot) {
        *stop = RecordUpdateResult::kTruncated;
        return false;
      }
      if (entry) {
        // A slot wider than the value stores what fits; a narrower one is
        // zero-extended.
        std::memset(entry, 0, es);
        std::memcpy(entry, in.current(), std::min(slot, es));
        if (f->kind() == kFieldBoolean) entry[0] = entry[0] != 0 ? 1 : 0;
      }
      in.Skip(slot);
      return true;
    }
  }
}

RecordUpdateResult TKSBaseC::ApplyRecordUpdate(int32_t index, std::string_view payload) {
  if (payload.size() < kRecordUpdateEntriesOffset) return RecordUpdateResult::kTruncated;
  const int32_t total = DecodeI32(payload.data() + kRecordUpdateTotalOffset);
  if (total < 0 || total > kMaxRecords) return RecordUpdateResult::kBadTotal;
  const int32_t rows = IdentityRows();
  if (index < 0 || (rows < index + 1 && total <= index)) return RecordUpdateResult::kNoRoom;
  // Every column must hold both the new total and the record written.
  const int64_t needed = std::max<int64_t>(total, int64_t{index} + 1);
  if (needed > kMaxRecords || needed * BytesPerRecord() > kMaxTableBytes)
    return RecordUpdateResult::kBadTotal;

  total_ = total;
  for (auto& f : fields_)
    if (f->rows() < static_cast<size_t>(needed)) f->ResizeColumn(static_cast<size_t>(needed));

  ByteReader in(payload);
  in.Skip(kRecordUpdateEntriesOffset);
  while (in.remaining() > kFieldSlotSize) {
    std::string name;
    GetNameSlot(in, kFieldNameCapacity, &name);
    FieldKSB* f = FindField(name);
    // Without the field its value's size is unknown: reading on would take
    // value bytes for names, so the rest of the update is dropped.
    if (f == nullptr) return RecordUpdateResult::kUnknownField;
    RecordUpdateResult stop = RecordUpdateResult::kApplied;
    if (!StoreUpdateValue(f, index, in, &stop)) return stop;
  }
  return RecordUpdateResult::kApplied;
}

bool TKSBaseC::MarkDeleted(int32_t identity) {
  const FieldKSB* n_abs = FindField("n_abs");
  if (n_abs == nullptr || !IsInt32Kind(n_abs->kind())) return false;
  const size_t limit = std::min(n_abs->rows(), static_cast<size_t>(total_ > 0 ? total_ : 0));
  for (size_t r = 1; r <= limit; ++r) {
    if (DecodeI32(n_abs->Entry(static_cast<int64_t>(r))) != identity) continue;
    for (auto& f : fields_) {
      if (f->name() != "p_d" || f->kind() != kFieldByte) continue;
      if (uint8_t* e = f->MutableEntry(static_cast<int64_t>(r))) e[0] |= 1;
    }
    return true;
  }
  return false;
}

void TKSBaseC::EditDone() {}

}  // namespace korvel
