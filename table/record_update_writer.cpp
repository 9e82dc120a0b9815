#include "table/record_update_writer.h"

#include <algorithm>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/snapshot_writer.h"
#include "table/table_format.h"

namespace korvel {

using namespace table_format;

void PutRecordUpdateEntry(std::string* out, const RecordUpdateEntry& entry) {
  const FieldDescriptor& d = entry.field;
  const TableValue& v = entry.value;
  PutNameSlot(out, d.name, kFieldNameCapacity);
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
    case kFieldDict16:
    case kFieldDict8:
      PutFixedValue(out, d.kind, v, d.width);
      PutTextSlot(out, v.bytes, d.text_width);
      break;
    case kFieldHeap:
      PutU32(out, v.heap_size);
      PutI32(out, static_cast<int32_t>(v.number));
      if (v.heap_size > 0) PutCountedText(out, v.bytes);
      break;
    default:
      if (IsValueKind(d.kind)) PutFixedValue(out, d.kind, v, d.width);
      break;
  }
}

std::string WriteRecordUpdate(std::string_view table, int32_t index, int32_t total,
                              const std::vector<RecordUpdateEntry>& entries) {
  std::string out;
  PutNameSlot(&out, table, kTableNameCapacity);
  PutI32(&out, index);
  PutI32(&out, total);
  for (const RecordUpdateEntry& e : entries) PutRecordUpdateEntry(&out, e);
  return out;
}

std::string WriteDeletionNotice(std::string_view table, int32_t n_abs) {
  std::string out;
  PutNameSlot(&out, table, kTableNameCapacity);
  PutI32(&out, n_abs);
  return out;
}

std::string WriteEditDoneNotice(std::string_view table) {
  std::string out;
  PutNameSlot(&out, table, kTableNameCapacity);
  return out;
}

}  // namespace korvel
