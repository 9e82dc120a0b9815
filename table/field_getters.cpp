// Typed getters of FieldKSB: the stored value of the owning table's access
// record (or the pending value during an edit), converted by kind.
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "platform/date_time.h"
#include "table/field_access_internal.h"
#include "table/ks_base_c.h"
#include "table/text_convert.h"

namespace korvel {

namespace {

// True when the pending value is to be read: the mark is set and the table
// is editing. A mark found outside an edit is cleared.
bool Pending(FieldKSB* f) {
  EditBuffer& e = f->edit();
  if (e.modified == 0) return false;
  if (!f->owner()->IsEditing()) {
    e.modified = 0;
    return false;
  }
  return true;
}

// Double to single without undefined behaviour: beyond the float range the
// result is an infinity of that sign.
float ToSingle(double v) {
  if (std::isnan(v)) return static_cast<float>(v);
  if (v > FLT_MAX) return INFINITY;
  if (v < -FLT_MAX) return -INFINITY;
  return static_cast<float>(v);
}

std::string Decimal(int64_t v) { return std::to_string(v); }

}  // namespace

namespace field_internal {

std::string HeapText(const FieldKSB* f, const uint8_t* entry) {
  if (entry == nullptr) return {};
  const int32_t offset = DecodeI32(entry);
  const std::string& heap = f->heap();
  if (offset < 0 || static_cast<size_t>(offset) >= heap.size()) return {};
  const size_t avail = heap.size() - static_cast<size_t>(offset) - 1;
  size_t n = static_cast<uint8_t>(heap[offset]);
  if (n > avail) n = avail;
  return heap.substr(static_cast<size_t>(offset) + 1, n);
}

std::string DictionaryText(const FieldKSB* f, uint32_t code) {
  if (code == 0) return {};
  const auto& keys = f->dictionary_keys();
  for (size_t i = 0; i < keys.size(); ++i)
    if (keys[i] == code) return f->dictionary_texts()[i];
  return {};
}

uint32_t StoredCode(const FieldKSB* f, const uint8_t* e) {
  if (e == nullptr) return 0;
  return f->kind() == kFieldDict16 ? DecodeU16(e) : e[0];
}

}  // namespace field_internal

using field_internal::DictionaryText;
using field_internal::HeapText;
using field_internal::StoredCode;

int32_t AsInteger(FieldKSB* f, bool* ok) {
  if (ok) *ok = true;
  if (f == nullptr) return 0;
  const bool pending = Pending(f);
  const EditBuffer& p = f->edit();
  const int32_t r = f->owner()->access_record_;
  if (r < 1) return 0;
  const uint8_t* e = f->Entry(r);
  switch (f->kind()) {
    case kFieldInt32:
      if (pending) return p.integer;
      return e ? DecodeI32(e) : 0;
    case kFieldText:
      return e ? table_text::ParseInt32Or0(DecodeSlotText(e, f->entry_size())) : 0;
    case kFieldByte:
      if (pending) return p.byte;
      return e ? e[0] : 0;
    case kFieldBoolean:
      if (pending) return p.boolean ? 1 : 0;
      return e ? (e[0] != 0 ? 1 : 0) : 0;
    case kFieldWord:
      if (pending) return p.word;
      return e ? DecodeU16(e) : 0;
    case kFieldSingle:
      if (pending) return TruncToI32(p.single);
      return e ? TruncToI32(DecodeF32(e)) : 0;
    case kFieldDouble:
      if (pending) return TruncToI32(p.dbl);
      return e ? TruncToI32(DecodeF64(e)) : 0;
    case kFieldUInt32:
      if (pending) return static_cast<int32_t>(p.u32);
      return e ? DecodeI32(e) : 0;
    case kFieldDateTime:
      return e ? TruncToI32(DecodeF64(e)) : 0;
    case kFieldDict16:
    case kFieldDict8:
      return static_cast<int32_t>(StoredCode(f, e));
    case kFieldHeap: {
      const std::string text = HeapText(f, e);
      if (text.empty()) return 0;
      int32_t v = 0;
      if (!table_text::ParseInt32(text, &v)) {
        if (ok) *ok = false;
        return 0;
      }
      return v;
    }
    default:
      return 0;
  }
}

bool AsBoolean(FieldKSB* f) {
  if (f == nullptr) return false;
  const bool pending = Pending(f);
  const int32_t r = f->owner()->access_record_;
  if (r < 1) return false;
  const uint8_t* e = f->Entry(r);
  switch (f->kind()) {
    case kFieldInt32:
      return e && DecodeI32(e) == 1;
    case kFieldText:
      return e && DecodeSlotText(e, f->entry_size()) == "T";
    case kFieldByte:
      return e && e[0] == 1;
    case kFieldBoolean:
      if (pending) return f->edit().boolean;
      return e && e[0] != 0;
    case kFieldWord:
      return e && DecodeU16(e) == 1;
    default:
      return false;
  }
}

float AsFloat(FieldKSB* f, bool* ok) {
  if (ok) *ok = true;
  if (f == nullptr) return 0;
  const bool pending = Pending(f);
  const int32_t r = f->owner()->access_record_;
  if (r < 1) return 0;
  const uint8_t* e = f->Entry(r);
  switch (f->kind()) {
    case kFieldInt32: return e ? static_cast<float>(DecodeI32(e)) : 0;
    case kFieldByte: return e ? static_cast<float>(e[0]) : 0;
    case kFieldBoolean: return e && e[0] != 0 ? 1.0f : 0.0f;
    case kFieldWord: return e ? static_cast<float>(DecodeU16(e)) : 0;
    case kFieldDouble:
    case kFieldDateTime: return e ? ToSingle(DecodeF64(e)) : 0;
    case kFieldUInt32: return e ? static_cast<float>(DecodeU32(e)) : 0;
    case kFieldSingle:
      if (pending) return f->edit().single;
      return e ? DecodeF32(e) : 0;
    case kFieldText: {
      double v = 0;
      if (e == nullptr) return 0;
      if (!table_text::ParseDouble(DecodeSlotText(e, f->entry_size()), &v)) {
        if (ok) *ok = false;
        return 0;
      }
      return ToSingle(v);
    }
    default:
      return 0;
  }
}

DateTime AsDateTime(FieldKSB* f) {
  if (f == nullptr) return 0;
  const bool pending = Pending(f);
  const int32_t r = f->owner()->access_record_;
  if (r < 1) return 0;
  const uint8_t* e = f->Entry(r);
  switch (f->kind()) {
    case kFieldDateTime:
      if (pending) return f->edit().date_time;
      return e ? DecodeF64(e) : 0;
    case kFieldSeconds2000:
      if (pending) return DateTimeFromSeconds2000(f->edit().u32);
      return e ? DateTimeFromSeconds2000(DecodeU32(e)) : 0;
    default:
      return 0;
  }
}

std::string AsBytes(FieldKSB* f) {
  if (f == nullptr) return {};
  const bool pending = Pending(f);
  const int32_t w = f->width();
  const size_t zeros = w > 0 ? static_cast<size_t>(w < kMaxBlockBytes ? w : kMaxBlockBytes) : 0;
  if (f->kind() != kFieldBlock && f->kind() != kFieldFlags) return std::string(zeros, '\0');
  if (pending) return f->edit().block;
  const uint8_t* e = f->Entry(f->owner()->access_record_);
  if (e == nullptr) return std::string(zeros, '\0');
  return std::string(reinterpret_cast<const char*>(e), f->entry_size());
}

std::string AsString(FieldKSB* f) {
  if (f == nullptr) return {};
  Pending(f);  // clears a mark left outside an edit
  const TKSBaseC* t = f->owner();
  const int32_t r = t->access_record_;
  if (r < 1 || t->total_ == 0) return kRecordNotFoundText;
  const uint8_t* e = f->Entry(r);
  if (e == nullptr) return {};
  switch (f->kind()) {
    case kFieldInt32: return Decimal(DecodeI32(e));
    case kFieldText: return DecodeSlotText(e, f->entry_size());
    case kFieldByte: return Decimal(e[0]);
    case kFieldBoolean: return e[0] != 0 ? "T" : "F";
    case kFieldWord: return Decimal(DecodeU16(e));
    case kFieldSingle: return table_text::FormatGeneral(DecodeF32(e));
    case kFieldDouble: return table_text::FormatGeneral(DecodeF64(e));
    case kFieldUInt32:
      if (f->name() == "r_dt") return FormatDateTimeDefault(DateTimeFromSeconds2000(DecodeU32(e)));
      return Decimal(DecodeU32(e));
    case kFieldDateTime: {
      const double v = DecodeF64(e);
      return v > 0 ? FormatDateTimeDefault(v) : std::string();
    }
    case kFieldBlock: {
      std::string s;
      for (size_t i = 0; i < f->entry_size(); ++i) s += Decimal(e[i]) + ' ';
      return s;
    }
    case kFieldInt64: return Decimal(DecodeI64(e));
    case kFieldDict16:
    case kFieldDict8: return DictionaryText(f, StoredCode(f, e));
    case kFieldHex: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%04" PRIX32, DecodeU32(e));
      return buf;
    }
    case kFieldFlags: {
      std::string s(f->entry_size(), 'F');
      for (size_t i = 0; i < s.size(); ++i)
        if (e[i] == 1) s[i] = 'T';
      return s;
    }
    case kFieldTextList: {
      std::string s;
      const size_t t_size = static_cast<size_t>(f->text_width());
      for (int32_t i = 0; i < f->width(); ++i) {
        s += '"';
        s += DecodeSlotText(e + i * t_size, t_size);
        s += "\" ";
      }
      return s;
    }
    case kFieldHeap: return HeapText(f, e);
    case kFieldSeconds2000: return FormatDateTimeDefault(DateTimeFromSeconds2000(DecodeU32(e)));
    default: return {};
  }
}

}  // namespace korvel
