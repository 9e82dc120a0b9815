// The server's own copy of one replicated table.
//
// The server owns the data: it assigns `n_abs` to inserted records, chooses
// each record's index (its 0-based physical position) and the total count,
// and applies the workstations' insert, update and delete requests. A
// deleted record keeps its slot with bit 0 of `p_d` set, because every
// workstation keeps its copy's physical positions and the index of a later
// record update must mean the same record everywhere; Compact() drops such
// slots and is followed by fresh snapshots to every workstation.
//
// Values are held per record and field in `FieldValue`; the byte forms of the
// wire are produced by table_encoding.h.
//
// Not thread-safe: the server guards every table with its state lock.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "table/field_kind.h"
#include "table/field_ksb.h"
#include "table/table_value.h"

namespace korvel::msgserver {


// One stored value, in the table engine's value type. Which members count
// depends on the kind:
//   integer kinds (1 3 4 5 8 10 12 13 14 18 19 20 21 25): `number`
//   6 7 9: `real`
//   2: `bytes` (text)   11 22: `bytes` (block of `width` bytes)
//   23: `texts` (`width` texts)
//   15 16: `number` is the dictionary code
//   24: `number` is the offset of the record's text in the field's heap
using FieldValue = TableValue;

// A value as a request or the control interface gives it, before the table
// resolves it: for 15 and 16 the text (the server assigns the code), for 24
// the text (the server stores it in the heap); for every other kind the
// value itself.
struct IncomingValue {
  std::string field;
  FieldValue value;
  std::string text;  // kinds 15, 16, 24
};

class ServerTable {
 public:
  // REQUIRES: fields[0] is `n_abs` (kind 1) and fields[1] is `p_d` (kind 3);
  // the seed loader checks it.
  ServerTable(std::string name, std::vector<FieldDescriptor> fields);

  const std::string& name() const { return name_; }
  const std::vector<FieldDescriptor>& fields() const { return fields_; }
  int32_t record_count() const { return static_cast<int32_t>(records_.size()); }
  const std::vector<FieldValue>& record(int32_t index) const { return records_[index]; }
  const std::vector<DictionaryLine>& dictionary(size_t field) const { return dicts_[field]; }
  const std::string& heap(size_t field) const { return heaps_[field]; }

  // Index of the field of that name, or -1.
  int FieldIndex(const std::string& name) const;
  // Index of the record with that `n_abs`, or -1 (deleted records included).
  int32_t FindRecord(int32_t n_abs) const;
  bool IsDeleted(int32_t index) const;

  // Adds a dictionary entry to a field of kind 15 or 16 (seed files).
  void AddDictionaryEntry(size_t field, uint32_t key, const std::string& text);

  // Appends a record. Values for `n_abs` are ignored unless `keep_n_abs`
  // (seed files give their own identities); otherwise the next identity is
  // assigned. Unknown field names are ignored. Returns the new index.
  int32_t Insert(const std::vector<IncomingValue>& values, bool keep_n_abs = false);
  // Changes the record with that `n_abs` (its `n_abs` stays). Returns the
  // index, or -1 when there is no such record.
  int32_t Update(int32_t n_abs, const std::vector<IncomingValue>& values);
  // Sets bit 0 of `p_d` of the record with that `n_abs`. Returns the index,
  // or -1 when there is no such record or it is already deleted.
  int32_t MarkDeleted(int32_t n_abs);
  // Drops deleted records and rebuilds the heaps. Returns how many went.
  int Compact();

  // The text form of a value of kinds 15/16 (dictionary text) and 24 (heap
  // text); empty for other kinds.
  std::string ResolvedText(size_t field, const FieldValue& value) const;

 private:
  void Assign(int32_t index, const IncomingValue& v);
  uint32_t CodeForText(size_t field, const std::string& text);
  int64_t StoreHeapText(size_t field, const std::string& text);

  std::string name_;
  std::vector<FieldDescriptor> fields_;
  std::vector<std::vector<FieldValue>> records_;
  std::vector<std::vector<DictionaryLine>> dicts_;  // per field
  std::vector<std::string> heaps_;                    // per field
  int32_t next_n_abs_ = 1;
};

// A blank value of a field, shaped for its kind (blocks and lists sized).
FieldValue BlankValue(const FieldDescriptor& field);

}  // namespace korvel::msgserver
