// Builds the server-to-program change payloads: record updates (command
// 0x0220000C), deletion notices (0x0220000E) and edit-done notices
// (0x0220000D). The server side's encoder and the engine's test fixture.
// Layouts in table/table_format.h.
//
// Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/field_ksb.h"
#include "table/table_value.h"

namespace korvel {

struct RecordUpdateEntry {
  // Name, kind, width and text width of the field as the table defines it.
  FieldDescriptor field;
  TableValue value;
};

// table slot | index | total | entries. Kinds without a value slot (17,
// codes outside 1..25) are written as their name slot alone.
std::string WriteRecordUpdate(std::string_view table, int32_t index, int32_t total,
                              const std::vector<RecordUpdateEntry>& entries);
// Appends one record-update entry: field slot, then the value slot.
void PutRecordUpdateEntry(std::string* out, const RecordUpdateEntry& entry);

std::string WriteDeletionNotice(std::string_view table, int32_t n_abs);
std::string WriteEditDoneNotice(std::string_view table);

}  // namespace korvel
