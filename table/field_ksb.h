// `FieldKSB`: one field of a replicated table, owned by its `TKSBaseC`.
//
// A field holds one column (a value for every physical record), its
// dictionary (kinds 15, 16), its text heap (kind 24), the edit buffer that
// setters fill during an edit, and its filter condition.
//
// Columns are kept in their wire form: `entry_size()` bytes per record
// (the kind's size, or w for kinds 2/11/22, w x t for 23), so a snapshot
// column loads with one copy and getters decode on read. Every read is
// bounded by the column's length: an entry beyond it reads as zero/empty.
//
// Getters and setters are free functions taking the field pointer as the
// lookups return it: on nullptr a getter gives 0, false, an empty block or
// an empty text and a setter does nothing, so
//   AsInteger(table.FieldOfRecord("port", i))
// is always safe. Getters read the owning table's access record, which the
// lookups of `TKSBaseC` select.
//
// Threads: none of its own; every call runs under the coordinator's table
// lock, a lookup and the getter calls that follow it forming one unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "table/field_kind.h"

namespace korvel {

class TKSBaseC;

// The 33-byte field descriptor of a snapshot, decoded.
struct FieldDescriptor {
  int32_t tag = 0;
  std::string name;  // Windows-1251, at most 15 bytes
  uint8_t kind = 0;
  int32_t width = 0;
  int32_t text_width = 0;
  int32_t reserved = 0;
};

// What setters store during an edit. The modified mark is 0 when the field
// has not been assigned in the current edit, otherwise the field's kind.
struct EditBuffer {
  uint8_t modified = 0;
  int32_t integer = 0;
  std::string text;  // at most 255 bytes
  uint8_t byte = 0;
  bool boolean = false;
  uint16_t word = 0;
  float single = 0;
  double dbl = 0;
  uint32_t u32 = 0;
  DateTime date_time = 0;
  DateTime date_part = 0;
  DateTime time_part = 0;
  std::string block;
  int64_t int64 = 0;
  char character = 0;
  std::vector<std::string> texts;
};

// Filter condition of a field of kind 1, 2 or 3.
struct FieldCondition {
  bool active = false;
  std::string text;      // as given to SetFilterText
  uint8_t oper = 0;      // 0 =, 1 <>, 2 <, 3 >, 4 <=, 5 >=
  uint8_t text_mode = 0; // kind 2, operators 0/1: 0 contains, 1 ends with, 2 starts with, 3 whole
  std::string compare_text;  // lower case
  int32_t compare_integer = 0;
  uint8_t compare_byte = 0;
};

// One line of GetDictionary: the entry's text and its key.
struct DictionaryLine {
  std::string text;
  uint32_t key = 0;
};

class FieldKSB {
 public:
  FieldKSB(TKSBaseC* owner, const FieldDescriptor& d);
  FieldKSB(const FieldKSB&) = delete;
  FieldKSB& operator=(const FieldKSB&) = delete;

  TKSBaseC* owner() const { return owner_; }
  int32_t tag() const { return tag_; }
  const std::string& name() const { return name_; }
  uint8_t kind() const { return kind_; }
  int32_t width() const { return width_; }
  int32_t text_width() const { return text_width_; }

  // Bytes of one record's entry in the column (0 for kinds without values
  // and for width 0).
  size_t entry_size() const { return entry_size_; }
  // Entries the column holds (may differ from the table's record count:
  // reads beyond it give empty values).
  size_t rows() const { return rows_; }
  // The entry of physical record r (1-based), or nullptr when the column
  // has no such entry or entries have no bytes.
  const uint8_t* Entry(int64_t r) const;
  uint8_t* MutableEntry(int64_t r);
  // Sizes the column to `rows` entries; new entries are zero.
  // REQUIRES: rows * entry_size() fits the table's ceilings.
  void ResizeColumn(size_t rows);

  // Kinds 15/16: keys (16-bit for kind 16) and texts, in dictionary order.
  const std::vector<uint32_t>& dictionary_keys() const { return dict_keys_; }
  const std::vector<std::string>& dictionary_texts() const { return dict_texts_; }
  // Kind 24: the text heap.
  const std::string& heap() const { return heap_; }

  EditBuffer& edit() { return edit_; }
  const EditBuffer& edit() const { return edit_; }
  FieldCondition& condition() { return condition_; }
  const FieldCondition& condition() const { return condition_; }

 private:
  friend class TKSBaseC;

  TKSBaseC* owner_;
  int32_t tag_;
  std::string name_;
  uint8_t kind_;
  int32_t width_;
  int32_t text_width_;

  size_t entry_size_ = 0;
  size_t rows_ = 0;
  std::vector<uint8_t> column_;
  std::vector<uint32_t> dict_keys_;
  std::vector<std::string> dict_texts_;
  std::string heap_;

  EditBuffer edit_;
  FieldCondition condition_;
};

// The text of AsString when no record is selected or the table is empty.
inline constexpr char kRecordNotFoundText[] = "\xC7\xE0\xEF\xE8\xF1\xFC \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED\xE0";  // "Запись не найдена" in 1251

// ---- getters: read the owning table's access record ------------------------
// While the table is editing and the field's modified mark is set, AsInteger
// (kinds 1 3 4 5 6 7 8), AsBoolean (4), AsFloat (6), AsDateTime (9 25) and
// AsBytes (11 22) give the pending value; AsString always the stored one.
// `ok`, when given, is set false when a text does not convert (AsInteger of
// kind 24, AsFloat of kind 2) and true otherwise; the result is then 0.
int32_t AsInteger(FieldKSB* field, bool* ok = nullptr);
bool AsBoolean(FieldKSB* field);
float AsFloat(FieldKSB* field, bool* ok = nullptr);
DateTime AsDateTime(FieldKSB* field);
std::string AsBytes(FieldKSB* field);
// Windows-1251 text.
std::string AsString(FieldKSB* field);

// ---- setters: fill the edit buffer; nothing unless the table is editing ----
void SetAsInteger(FieldKSB* field, int32_t value);
void SetAsInt64(FieldKSB* field, int64_t value);
void SetAsBoolean(FieldKSB* field, bool value);
void SetAsDateTime(FieldKSB* field, DateTime value);
void SetDatePart(FieldKSB* field, DateTime value);
void SetTimePart(FieldKSB* field, DateTime value);
void SetAsString(FieldKSB* field, std::string_view text);
// Kinds 11, 22: the first `width` bytes of the block (zero-filled when the
// block is shorter).
void SetAsBytes(FieldKSB* field, std::string_view block);

// ---- filter condition (kinds 1, 2, 3; used when the table is Filtered) -----
// Stores the condition text; the condition is active exactly when the text
// is not empty. The comparison values follow from the text: its lower case
// for kind 2, its decimal value (0 when not one) for kind 1, the low byte of
// that for kind 3.
void SetFilterText(FieldKSB* field, std::string_view text);
// Operator 0..5 and text mode 0..3; values outside the ranges are ignored.
void SetFilterMode(FieldKSB* field, uint8_t oper, uint8_t text_mode);

}  // namespace korvel
