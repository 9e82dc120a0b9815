#include "table/record_update_writer.h"

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
      // Fixed kinds take the field's width here (a snapshot uses the kind's size).
      PutPlainValue(out, d, v, d.width);
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
