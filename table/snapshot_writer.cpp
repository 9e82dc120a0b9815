#include "table/snapshot_writer.h"

#include <algorithm>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/table_format.h"

namespace korvel {

using namespace table_format;

void PutTextSlot(std::string* out, std::string_view text, int32_t slot_size) {
  if (slot_size <= 0) return;
  const size_t slot = static_cast<size_t>(slot_size);
  const size_t n = std::min({text.size(), slot - 1, size_t{255}});
  PutU8(out, static_cast<uint8_t>(n));
  out->append(text.data(), n);
  out->append(slot - 1 - n, '\0');
}

void PutFixedValue(std::string* out, uint8_t kind, const TableValue& v, int32_t size) {
  std::string bytes;
  switch (kind) {
    case kFieldSingle: PutF32(&bytes, static_cast<float>(v.real)); break;
    case kFieldDouble:
    case kFieldDateTime: PutF64(&bytes, v.real); break;
    default: PutU64(&bytes, static_cast<uint64_t>(v.number)); break;
  }
  const size_t n = size > 0 ? static_cast<size_t>(size) : 0;
  out->append(bytes.data(), std::min(n, bytes.size()));
  if (n > bytes.size()) out->append(n - bytes.size(), '\0');
}

void PutPlainValue(std::string* out, const FieldDescriptor& d, const TableValue& v,
                   int32_t fixed_size) {
  switch (d.kind) {
    case kFieldText:
      PutTextSlot(out, v.bytes, d.width);
      break;
    case kFieldBlock:
    case kFieldFlags: {
      const size_t w = d.width > 0 ? static_cast<size_t>(d.width) : 0;
      out->append(v.bytes.data(), std::min(w, v.bytes.size()));
      if (w > v.bytes.size()) out->append(w - v.bytes.size(), '\0');
      break;
    }
    case kFieldTextList:
      for (int32_t k = 0; k < d.width; ++k)
        PutTextSlot(out, static_cast<size_t>(k) < v.texts.size() ? v.texts[k] : std::string(),
                    d.text_width);
      break;
    default:
      if (IsValueKind(d.kind)) PutFixedValue(out, d.kind, v, fixed_size);
      break;
  }
}

void PutFieldDescriptor(std::string* out, const FieldDescriptor& d) {
  PutI32(out, d.tag);
  PutNameSlot(out, d.name, kFieldNameCapacity);
  PutU8(out, d.kind);
  PutI32(out, d.width);
  PutI32(out, d.text_width);
  PutI32(out, d.reserved);
}

void PutColumn(std::string* out, const SnapshotField& f, int32_t records) {
  if (records <= 0) return;
  const FieldDescriptor& d = f.descriptor;
  static const TableValue kEmpty;
  for (int32_t r = 0; r < records; ++r) {
    const TableValue& v = static_cast<size_t>(r) < f.values.size() ? f.values[r] : kEmpty;
    PutPlainValue(out, d, v, FixedKindSize(d.kind));
  }
  if (d.kind == kFieldDict16 || d.kind == kFieldDict8) {
    PutI32(out, static_cast<int32_t>(f.dictionary.size()));
    for (const DictionaryLine& line : f.dictionary) {
      if (d.kind == kFieldDict16) PutU32(out, line.key);
      else PutU16(out, static_cast<uint16_t>(line.key));
      PutTextSlot(out, line.text, d.text_width);
    }
  } else if (d.kind == kFieldHeap) {
    PutI32(out, static_cast<int32_t>(f.heap.size()));
    out->append(f.heap);
  }
}

std::string WriteSnapshot(const SnapshotTable& table) {
  std::string out;
  PutNameSlot(&out, table.name, kTableNameCapacity);
  PutI32(&out, table.records);
  PutI32(&out, static_cast<int32_t>(table.fields.size()));
  for (const SnapshotField& f : table.fields) {
    PutFieldDescriptor(&out, f.descriptor);
    PutColumn(&out, f, table.records);
  }
  return out;
}

}  // namespace korvel
