// Builds snapshot payloads (command 0x02200003) from a table description:
// the server side's encoder and the engine's test fixture. Layout in
// table/table_format.h. Writes every kind, dictionaries (15, 16), heaps (24)
// and lists of texts (23) included; texts are Windows-1251 and cut to their
// slots; values of fixed kinds take the kind's own size, whatever w says.
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

struct SnapshotField {
  FieldDescriptor descriptor;
  // One value per record; missing values are written as zero/empty.
  std::vector<TableValue> values;
  // Kinds 15 and 16: (key, text) in dictionary order (kind 16 writes the
  // key's low 16 bits).
  std::vector<DictionaryLine> dictionary;
  // Kind 24: the heap bytes (counted texts at the records' offsets).
  std::string heap;
};

struct SnapshotTable {
  std::string name;     // cut to 8 bytes
  int32_t records = 0;  // N
  std::vector<SnapshotField> fields;
};

std::string WriteSnapshot(const SnapshotTable& table);

// Appends one field descriptor (33 bytes).
void PutFieldDescriptor(std::string* out, const FieldDescriptor& d);
// Appends one column of `records` values of field `f` (nothing when records
// is 0), with its dictionary or heap for kinds 15, 16 and 24.
void PutColumn(std::string* out, const SnapshotField& f, int32_t records);

// Appends one value of a kind other than 15, 16 and 24 as it travels in a
// column or a record update: kind 2 a text slot of w bytes, 11/22 a block of
// w bytes, 23 w text slots of t bytes, fixed kinds `fixed_size` bytes.
void PutPlainValue(std::string* out, const FieldDescriptor& d, const TableValue& v,
                   int32_t fixed_size);

// Appends a counted text in a slot of `slot_size` bytes (length byte
// included): the text is cut to slot_size - 1 bytes (and 255), the rest of
// the slot is zeros. Nothing for slot_size 0.
void PutTextSlot(std::string* out, std::string_view text, int32_t slot_size);
// Appends a value of a fixed-size kind in `size` bytes: its little-endian
// bytes, cut or zero-filled to `size`.
void PutFixedValue(std::string* out, uint8_t kind, const TableValue& v, int32_t size);

}  // namespace korvel
