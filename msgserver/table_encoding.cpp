#include "msgserver/table_encoding.h"

#include <algorithm>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/record_update_writer.h"
#include "table/snapshot_writer.h"
#include "table/table_format.h"

namespace korvel::msgserver {
namespace {

constexpr size_t kFieldSlot = kFieldNameCapacity;  // capacity 15, 16 bytes

// Reads one request value of field f. False when it does not fit.
bool ReadRequestValue(ByteReader& in, const FieldDescriptor& f, IncomingValue* out) {
  FieldValue& v = out->value;
  auto fixed = [&](size_t size) -> bool {
    std::string_view b;
    if (!in.GetView(size, &b)) return false;
    const auto* p = b.data();
    switch (f.kind) {
      case kFieldSingle: v.real = DecodeF32(p); break;
      case kFieldDouble:
      case kFieldDateTime: v.real = DecodeF64(p); break;
      case kFieldByte:
      case kFieldBoolean:
      case kFieldChar: v.number = static_cast<uint8_t>(p[0]); break;
      case kFieldWord: v.number = DecodeU16(p); break;
      case kFieldInt64:
      case kFieldInt64B: v.number = DecodeI64(p); break;
      case kFieldUInt32:
      case kFieldSeconds2000: v.number = DecodeU32(p); break;
      default: v.number = DecodeI32(p); break;
    }
    return true;
  };
  switch (f.kind) {
    case kFieldText: {
      if (f.width <= 0 || in.remaining() < static_cast<size_t>(f.width)) return false;
      v.bytes = DecodeSlotText(in.current(), static_cast<size_t>(f.width));
      return in.Skip(static_cast<size_t>(f.width));
    }
    case kFieldBlock:
    case kFieldFlags:
      return in.GetBytes(static_cast<size_t>(std::max(f.width, 0)), &v.bytes);
    case kFieldTextList: {
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
    case kFieldDict16:
    case kFieldDict8: {
      if (f.text_width <= 0 || in.remaining() < static_cast<size_t>(f.text_width)) return false;
      out->text = DecodeSlotText(in.current(), static_cast<size_t>(f.text_width));
      return in.Skip(static_cast<size_t>(f.text_width));
    }
    case kFieldHeap:
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
  SnapshotTable snap;
  snap.name = table.name();
  snap.records = table.record_count();
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    SnapshotField f;
    f.descriptor = table.fields()[fi];
    f.values.reserve(static_cast<size_t>(snap.records));
    for (int32_t r = 0; r < snap.records; ++r) f.values.push_back(table.record(r)[fi]);
    f.dictionary = table.dictionary(fi);
    f.heap = table.heap(fi);
    snap.fields.push_back(std::move(f));
  }
  return WriteSnapshot(snap);
}

std::string EncodeRecordUpdate(const ServerTable& table, int32_t index) {
  std::vector<RecordUpdateEntry> entries;
  const auto& rec = table.record(index);
  for (size_t fi = 0; fi < table.fields().size(); ++fi) {
    const FieldDescriptor& f = table.fields()[fi];
    if (!IsValueKind(f.kind)) continue;
    RecordUpdateEntry e{f, rec[fi]};
    if (f.kind == kFieldDict16 || f.kind == kFieldDict8) {
      e.value.bytes = table.ResolvedText(fi, rec[fi]);
    } else if (f.kind == kFieldHeap) {
      e.value.heap_size = static_cast<uint32_t>(table.heap(fi).size());
      e.value.bytes = table.ResolvedText(fi, rec[fi]);
    }
    entries.push_back(std::move(e));
  }
  return WriteRecordUpdate(table.name(), index, table.record_count(), entries);
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
    if (name == table_format::kSysUserName) {
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
