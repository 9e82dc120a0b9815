#include "msgserver/table_encoding.h"

#include <algorithm>

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel::msgserver {
namespace {

constexpr size_t kFieldSlot = kFieldNameCapacity;  // capacity 15, 16 bytes
constexpr char kSysUser[] = "SYSUSER";

// A counted text in a slot of `slot` bytes (length byte included), cut to
// slot - 1 bytes; nothing for a slot of 0.
void PutTextSlot(std::string* dst, const std::string& text, int32_t slot) {
  if (slot <= 0) return;
  PutNameSlot(dst, text, std::min<size_t>(static_cast<size_t>(slot) - 1, 255));
  if (slot > 256) dst->append(static_cast<size_t>(slot) - 256, '\0');
}

// The fixed-size value of `kind` in `size` bytes (little-endian).
void PutFixed(std::string* dst, uint8_t kind, const FieldValue& v) {
  switch (kind) {
    case kKindFloat: PutF32(dst, static_cast<float>(v.real)); break;
    case kKindDouble:
    case kKindDateTime: PutF64(dst, v.real); break;
    case kKindByte:
    case kKindBool:
    case kKindChar:
    case kKindDict8: PutU8(dst, static_cast<uint8_t>(v.number)); break;
    case kKindU16:
    case kKindDict16: PutU16(dst, static_cast<uint16_t>(v.number)); break;
    case kKindInt64:
    case kKindInt64B: PutI64(dst, v.number); break;
    default: PutU32(dst, static_cast<uint32_t>(v.number)); break;
  }
}

void PutBlock(std::string* dst, const std::string& bytes, int32_t width) {
  const auto w = static_cast<size_t>(std::max(width, 0));
  dst->append(bytes, 0, std::min(bytes.size(), w));
  if (bytes.size() < w) dst->append(w - bytes.size(), '\0');
}

void PutTextList(std::string* dst, const FieldDef& f, const std::vector<std::string>& texts) {
  for (int32_t i = 0; i < f.width; ++i) {
    PutTextSlot(dst, static_cast<size_t>(i) < texts.size() ? texts[i] : std::string(),
                f.text_width);
  }
}

void PutDescriptor(std::string* dst, const FieldDef& f) {
  PutI32(dst, f.tag);
  PutNameSlot(dst, f.name, kFieldSlot);
  PutU8(dst, f.kind);
  PutI32(dst, f.width);
  PutI32(dst, f.text_width);
  PutI32(dst, 0);
}

void PutColumn(std::string* dst, const ServerTable& t, size_t fi) {
  const FieldDef& f = t.fields()[fi];
  const int32_t n = t.record_count();
  switch (f.kind) {
    case kKindText:
      for (int32_t r = 0; r < n; ++r) PutTextSlot(dst, t.record(r)[fi].bytes, f.width);
      return;
    case kKindBlock:
    case kKindFlags:
      for (int32_t r = 0; r < n; ++r) PutBlock(dst, t.record(r)[fi].bytes, f.width);
      return;
    case kKindTextList:
      for (int32_t r = 0; r < n; ++r) PutTextList(dst, f, t.record(r)[fi].texts);
      return;
    case kKindDict16:
    case kKindDict8: {
      for (int32_t r = 0; r < n; ++r) PutFixed(dst, f.kind, t.record(r)[fi]);
      const auto& dict = t.dictionary(fi);
      PutI32(dst, static_cast<int32_t>(dict.size()));
      for (const auto& e : dict) {
        if (f.kind == kKindDict16) PutU32(dst, e.key); else PutU16(dst, static_cast<uint16_t>(e.key));
        PutTextSlot(dst, e.text, f.text_width);
      }
      return;
    }
    case kKindHeap: {
      for (int32_t r = 0; r < n; ++r) PutI32(dst, static_cast<int32_t>(t.record(r)[fi].number));
      const std::string& heap = t.heap(fi);
      PutI32(dst, static_cast<int32_t>(heap.size()));
      dst->append(heap);
      return;
    }
    default:
      if (!IsKnownKind(f.kind)) return;
      for (int32_t r = 0; r < n; ++r) PutFixed(dst, f.kind, t.record(r)[fi]);
      return;
  }
}

void PutEntryValue(std::string* dst, const ServerTable& t, size_t fi, const FieldValue& v) {
  const FieldDef& f = t.fields()[fi];
  switch (f.kind) {
    case kKindText: PutTextSlot(dst, v.bytes, f.width); return;
    case kKindBlock:
    case kKindFlags: PutBlock(dst, v.bytes, f.width); return;
    case kKindTextList: PutTextList(dst, f, v.texts); return;
    case kKindDict16:
    case kKindDict8:
      PutFixed(dst, f.kind, v);
      PutTextSlot(dst, t.ResolvedText(fi, v), f.text_width);
      return;
    case kKindHeap: {
      const std::string& heap = t.heap(fi);
      PutI32(dst, static_cast<int32_t>(heap.size()));
      PutI32(dst, static_cast<int32_t>(v.number));
      if (!heap.empty()) PutCountedText(dst, t.ResolvedText(fi, v));
      return;
    }
    default: PutFixed(dst, f.kind, v); return;
  }
}

// Reads one request value of field f. False when it does not fit.
bool ReadRequestValue(ByteReader& in, const FieldDef& f, IncomingValue* out) {
  FieldValue& v = out->value;
  auto fixed = [&](size_t size) -> bool {
    std::string_view b;
    if (!in.GetView(size, &b)) return false;
    const auto* p = b.data();
    switch (f.kind) {
      case kKindFloat: v.real = DecodeF32(p); break;
      case kKindDouble:
      case kKindDateTime: v.real = DecodeF64(p); break;
      case kKindByte:
      case kKindBool:
      case kKindChar: v.number = static_cast<uint8_t>(p[0]); break;
      case kKindU16: v.number = DecodeU16(p); break;
      case kKindInt64:
      case kKindInt64B: v.number = DecodeI64(p); break;
      case kKindU32:
      case kKindSeconds2000: v.number = DecodeU32(p); break;
      default: v.number = DecodeI32(p); break;
    }
    return true;
  };
  switch (f.kind) {
    case kKindText: {
      if (f.width <= 0 || in.remaining() < static_cast<size_t>(f.width)) return false;
      v.bytes = DecodeSlotText(in.current(), static_cast<size_t>(f.width));
      return in.Skip(static_cast<size_t>(f.width));
    }
    case kKindBlock:
    case kKindFlags:
      return in.GetBytes(static_cast<size_t>(std::max(f.width, 0)), &v.bytes);
    case kKindTextList: {
      if (f.text_width <= 0 || f.width < 0) return false;
      const uint64_t need = uint64_t(f.width) * uint64_t(f.text_width);
      if (need > in.remaining()) return false;
      v.texts.clear();
      for (int32_t i = 0; i < f.width; ++i) {
        v.texts.push_back(DecodeSlotText(in.current(), static_cast<size_t>(f.text_width)));
        in.Skip(static_cast<size_t>(f.text_width));
      }
      return true;
    }
    case kKindDict16:
    case kKindDict8: {
      if (f.text_width <= 0 || in.remaining() < static_cast<size_t>(f.text_width)) return false;
      out->text = DecodeSlotText(in.current(), static_cast<size_t>(f.text_width));
      return in.Skip(static_cast<size_t>(f.text_width));
    }
    case kKindHeap:
      return GetCountedText(in, &out->text);
    default: {
      const int32_t size = FixedKindSize(f.kind);
      // Fixed kinds travel in `width` bytes; the server's own definitions
      // keep width equal to the kind's size.
      return size > 0 && fixed(static_cast<size_t>(size));
    }
  }
}

}  // namespace

std::string EncodeSnapshot(const ServerTable& table) {
  std::string out;
  PutNameSlot(&out, table.name(), kTableNameCapacity);
  PutI32(&out, table.record_count());
  PutI32(&out, static_cast<int32_t>(table.fields().size()));
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    PutDescriptor(&out, table.fields()[fi]);
    if (table.record_count() > 0) PutColumn(&out, table, fi);
  }
  return out;
}

std::string EncodeRecordUpdate(const ServerTable& table, int32_t index) {
  std::string out;
  PutNameSlot(&out, table.name(), kTableNameCapacity);
  PutI32(&out, index);
  PutI32(&out, table.record_count());
  const auto& rec = table.record(index);
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    if (!IsKnownKind(table.fields()[fi].kind)) continue;
    PutNameSlot(&out, table.fields()[fi].name, kFieldSlot);
    PutEntryValue(&out, table, fi, rec[fi]);
  }
  return out;
}

bool DecodeEditRequest(std::string_view payload, bool is_update,
                       const std::vector<const ServerTable*>& tables, TableRequest* out) {
  *out = TableRequest{};
  out->kind = is_update ? RequestKind::kUpdate : RequestKind::kInsert;
  ByteReader in(payload);
  if (!GetNameSlot(in, kTableNameCapacity, &out->table)) return false;
  if (is_update && !in.GetI32(&out->n_abs)) return false;
  const ServerTable* table = nullptr;
  for (const auto* t : tables) {
    if (t->name() == out->table) table = t;
  }
  if (table == nullptr) return false;
  std::string name;
  while (GetNameSlot(in, kFieldSlot, &name)) {
    if (name == kSysUser) {
      GetCountedText(in, &out->sys_user);
      break;
    }
    const int fi = table->FieldIndex(name);
    if (fi < 0) {
      out->unknown_field = name;
      break;
    }
    IncomingValue v;
    v.field = name;
    if (!ReadRequestValue(in, table->fields()[static_cast<size_t>(fi)], &v)) break;
    out->values.push_back(std::move(v));
  }
  return true;
}

bool DecodeDeleteRequest(std::string_view payload, TableRequest* out) {
  *out = TableRequest{};
  out->kind = RequestKind::kDelete;
  ByteReader in(payload);
  return GetNameSlot(in, kTableNameCapacity, &out->table) && in.GetI32(&out->n_abs);
}

bool DecodeDictionaryCode(std::string_view payload, DictionaryCodeRequest* out) {
  ByteReader in(payload);
  return GetNameSlot(in, kTableNameCapacity, &out->table) &&
         GetNameSlot(in, kFieldSlot, &out->field) && in.GetU8(&out->kind) &&
         in.GetU8(&out->text_width) && in.GetU8(&out->constant) && in.GetU16(&out->code);
}

}  // namespace korvel::msgserver
