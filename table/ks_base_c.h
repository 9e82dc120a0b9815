// `TKSBaseC`: the in-memory replica of one table of the message server.
//
// Storage is column-wise (one `FieldKSB` per field, a column per field).
// Records are addressed by physical record number (1-based index into the
// columns), by view position (1-based place among the visible records) and
// by the identity in the field `n_abs`.
//
// The table changes only through the server: a snapshot (TableRegistry),
// record updates and deletion notices. Local edits (Insert/Edit + setters +
// Post, Delete) are turned into request messages handed to OnNetDataSend.
//
// Threads: the engine takes no lock and is not thread-safe. Every call,
// reads included, must run under the coordinator's table lock; a lookup and
// the getters that follow it, and a whole edit from Edit to Post, are one
// unit under it. OnNetDataSend is raised on the calling thread, inside the
// lock (the hook only queues the message).
//
// Forms and data-aware controls do not exist in this program: the hooks of
// the original component that refresh bound controls and form-owned slave
// tables have nothing to act on and are not built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/byte_io.h"
#include "table/field_ksb.h"

namespace korvel {

// Outcome of ApplyRecordUpdate, for the caller's log.
enum class RecordUpdateResult {
  kApplied,          // every entry stored
  kNoRoom,           // index outside the records and the new total makes no room: nothing stored
  kBadTotal,         // negative total, or above kMaxRecords / kMaxTableBytes: dropped
  kTruncated,        // the payload is shorter than its header: dropped
  kUnknownField,     // stopped at an entry naming no field (entries before it stored)
  kNoValueSlot,      // stopped at an entry of a kind without a value slot
  kBadHeap,          // stopped at a kind-24 entry with a bad heap size or offset
};

class TKSBaseC {
 public:
  // Published events.
  using TNotifyEvent = std::function<void(TKSBaseC* sender)>;
  using TNetDataSend =
      std::function<void(TKSBaseC* sender, int32_t command, const uint8_t* data, int32_t size)>;
  using TNetData =
      std::function<void(TKSBaseC* sender, const void* data, int32_t command, int32_t data_size)>;
  using TFieldREfreshEvent =
      std::function<void(TKSBaseC* sender, const std::vector<std::string>* fields)>;

  TKSBaseC();
  ~TKSBaseC();
  TKSBaseC(const TKSBaseC&) = delete;
  TKSBaseC& operator=(const TKSBaseC&) = delete;

  // ---- component name ----
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // ---- published properties ----
  int32_t PortNet() const { return port_net_; }
  void SetPortNet(int32_t v) { port_net_ = v; }
  bool Sorted() const { return sorted_; }
  void SetSorted(bool v);  // rebuilds the view
  const std::string& Sort() const { return sort_; }
  void SetSort(std::string v) { sort_ = std::move(v); }
  bool AutoSave() const { return auto_save_; }
  void SetAutoSave(bool v) { auto_save_ = v; }
  const std::string& NameTable() const { return name_table_; }
  void SetNameTable(std::string v) { name_table_ = std::move(v); }
  const std::string& DefaultTable() const { return default_table_; }
  void SetDefaultTable(std::string v) { default_table_ = std::move(v); }
  // Number of visible records (the view's length).
  int32_t Count() const { return count_; }
  // Sets the total record count and Count, nothing else (the snapshot
  // loader then sizes the columns).
  void SetCount(int32_t v);
  // Current view position; reading a position of 0 makes it 1.
  int32_t RecordIndex();
  // Ignored while editing or with an empty view; v < 1 selects 1; a v
  // beyond the view keeps the selection.
  void SetRecordIndex(int32_t v);
  const TNotifyEvent& OnRefresh() const { return on_refresh_; }
  void SetOnRefresh(TNotifyEvent e) { on_refresh_ = std::move(e); }
  const TNetData& OnNetEvent() const { return on_net_event_; }
  void SetOnNetEvent(TNetData e) { on_net_event_ = std::move(e); }
  const TNetDataSend& OnNetDataSend() const { return on_net_data_send_; }
  void SetOnNetDataSend(TNetDataSend e) { on_net_data_send_ = std::move(e); }
  bool FlagRefresh() const { return flag_refresh_; }
  // Stored only while the table is ready (not editing).
  void SetFlagRefresh(bool v);
  const TFieldREfreshEvent& OnFieldRefresh() const { return on_field_refresh_; }
  void SetOnFieldRefresh(TFieldREfreshEvent e) { on_field_refresh_ = std::move(e); }
  // Index of the last field: number of fields - 1.
  int32_t MaxNumberFileds() const { return static_cast<int32_t>(fields_.size()) - 1; }
  uint8_t FilterOper() const { return filter_oper_; }
  void SetFilterOper(uint8_t v) { filter_oper_ = v; }
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool v);             // rebuilds the view
  TKSBaseC* MasterTable() const { return master_table_; }
  void SetMasterTable(TKSBaseC* t);     // rebuilds the view; the master must outlive the link
  const std::string& MasterField() const { return master_field_; }
  void SetMasterField(std::string v);   // rebuilds the view
  const std::string& SlaveField() const { return slave_field_; }
  void SetSlaveField(std::string v);    // rebuilds the view
  // Sent as the SYSUSER entry of every change message (empty by default).
  const std::string& UserName() const { return user_name_; }
  void SetUserName(std::string v) { user_name_ = std::move(v); }

  // ---- state ----
  int32_t TotalRecords() const { return total_; }
  bool IsEditing() const { return editing_; }
  bool IsReady() const { return ready_; }
  // Physical record number the getters read (-1 after a rebuild that left
  // the view empty).
  int32_t AccessRecord() const { return access_record_; }
  int32_t CurrentRecord() const { return current_record_; }
  // Physical record number at view position (1-based), or 0 outside the view.
  int32_t ViewEntry(int32_t position) const;

  // ---- structure and view ----
  void First();
  // Appends a field, or returns the index of the field of that name (whose
  // kind and widths stay).
  int32_t AddField(const FieldDescriptor& d);
  // Removes all fields and records.
  void ClearStructure();
  // Recomputes the view and Count (hiding records with bit 0 of `p_d` set,
  // then the filter, master/slave link and sort options) and raises
  // OnRefresh. Nothing while editing or without fields.
  void RebuildView();

  // ---- field access ----
  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  // Field by 0-based index, or nullptr.
  FieldKSB* Field(int32_t index) const;
  // The first field of that name (exact, case-sensitive), or nullptr; the
  // access record becomes the current record when the view is not empty.
  FieldKSB* FieldByName(std::string_view name);
  // The field, or nullptr; the access record becomes the view entry at
  // `position` when 1 <= position <= Count, otherwise it stays.
  FieldKSB* FieldOfRecord(std::string_view name, int32_t position);
  // The field number `field_number` (1-based), or nullptr; the access
  // record becomes `record` in every case.
  FieldKSB* FieldOfPhysical(int32_t field_number, int32_t record);
  uint8_t FieldKind(std::string_view name) const;
  int32_t FieldWidth(std::string_view name) const;
  int32_t FieldTextWidth(std::string_view name) const;
  bool FieldExists(std::string_view name) const;
  // Clears the list; for kinds 15/16 one line per dictionary entry.
  void GetDictionary(std::string_view name, std::vector<DictionaryLine>* list) const;

  // ---- snapshot loading ----
  // Reads the column of field `field_index` described by `d` from
  // payload[*position...] for Count records and advances *position past
  // what it read. Whole records that fit in the payload are stored, the
  // rest stay zero/empty; a dictionary or heap is cut to what remains.
  // Returns false when the payload ended inside the column or `d` breaks
  // the width ceilings (nothing then read): loading should stop.
  bool LoadColumn(const FieldDescriptor& d, std::string_view payload, size_t* position,
                  int32_t field_index);

  // ---- network synchronisation ----
  void Insert();
  bool Edit();
  void Cancel();
  void Post();
  void Delete();
  void SendDictionaryCode(std::string_view field_name, int32_t code);
  // Raises OnNetDataSend when assigned; otherwise the bytes are dropped.
  void SendNetData(int32_t command, const std::string& bytes);
  // Stores a record update (the whole payload, name slot first) at the
  // 0-based record index. The caller then rebuilds the view and sets
  // FlagRefresh.
  RecordUpdateResult ApplyRecordUpdate(int32_t index, std::string_view payload);
  // Sets bit 0 of `p_d` of the first record whose `n_abs` is `identity`.
  bool MarkDeleted(int32_t identity);
  // Edit-done notice: refreshes form-owned slave tables, which this program
  // has none of; the table's own state does not change.
  void EditDone();
  // Rows of the first field's 32-bit integer column (0 when the first field
  // is not such a field): the table's size as record updates see it.
  int32_t IdentityRows() const;

 private:
  friend int32_t AsInteger(FieldKSB*, bool*);
  friend bool AsBoolean(FieldKSB*);
  friend float AsFloat(FieldKSB*, bool*);
  friend DateTime AsDateTime(FieldKSB*);
  friend std::string AsBytes(FieldKSB*);
  friend std::string AsString(FieldKSB*);

  FieldKSB* FindField(std::string_view name) const;
  bool PassesFilter(int32_t r);
  void AppendEntry(std::string* out, FieldKSB* f);
  bool StoreUpdateValue(FieldKSB* f, int32_t index, ByteReader& in, RecordUpdateResult* stop);
  int64_t BytesPerRecord() const;

  std::string name_;
  int32_t port_net_ = 0;
  bool sorted_ = false;
  std::string sort_;
  bool auto_save_ = false;
  std::string name_table_;
  std::string default_table_;
  int32_t count_ = 0;
  TNotifyEvent on_refresh_;
  TNetData on_net_event_;
  TNetDataSend on_net_data_send_;
  bool flag_refresh_ = false;
  TFieldREfreshEvent on_field_refresh_;
  uint8_t filter_oper_ = 0;
  bool filtered_ = false;
  TKSBaseC* master_table_ = nullptr;
  std::string master_field_;
  std::string slave_field_;
  std::string user_name_;

  std::vector<std::unique_ptr<FieldKSB>> fields_;
  int32_t total_ = 0;
  std::vector<int32_t> view_;
  int32_t current_position_ = 0;
  int32_t current_record_ = 0;
  int32_t access_record_ = 0;
  bool ready_ = true;
  bool editing_ = false;
  bool edit_existing_ = false;
  int32_t captured_identity_ = 0;
};

}  // namespace korvel
