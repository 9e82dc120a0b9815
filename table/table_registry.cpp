// The table registry and the handlers of the server's table messages.
#include "table/table_registry.h"

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/table_format.h"

namespace korvel {

using namespace table_format;

bool TableRegistry::IsValidTableName(std::string_view name) {
  if (name.empty() || name.size() > kTableNameCapacity) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

TKSBaseC* TableRegistry::AddTable(std::string_view name) {
  for (const auto& t : tables_)
    if (t->Name() == name) return t.get();
  if (!IsValidTableName(name)) return nullptr;
  auto table = std::make_unique<TKSBaseC>();
  table->SetName(std::string(name));
  table->SetNameTable(std::string(name));
  table->SetOnNetDataSend(send_hook_);
  tables_.push_back(std::move(table));
  return tables_.back().get();
}

void TableRegistry::AddTables(std::string_view list_text) {
  size_t start = 0;
  while (start < list_text.size()) {
    size_t end = list_text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = list_text.size();
    if (end > start) AddTable(list_text.substr(start, end - start));
    // CR, LF and CR LF each end one line.
    if (end < list_text.size() && list_text[end] == '\r' && end + 1 < list_text.size() &&
        list_text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
}

TKSBaseC* TableRegistry::Table(int32_t position) const {
  if (position < 0 || position >= size()) return nullptr;
  return tables_[position].get();
}

int32_t TableRegistry::Position(std::string_view name_table) const {
  for (size_t i = 0; i < tables_.size(); ++i)
    if (tables_[i]->NameTable() == name_table) return static_cast<int32_t>(i);
  return -1;
}

TKSBaseC* TableRegistry::Find(std::string_view name_table) const {
  return Table(Position(name_table));
}

TableRegistry::SnapshotResult TableRegistry::LoadSnapshot(std::string_view payload) {
  SnapshotResult result;
  ByteReader in(payload);
  std::string name;
  int32_t records = 0, fields = 0;
  if (!GetNameSlot(in, kTableNameCapacity, &name) || !in.GetI32(&records) ||
      !in.GetI32(&fields) || records < 0 || records > kMaxRecords || fields < 0) {
    result.bytes_read = in.position();
    return result;  // rejected before anything changed
  }

  TKSBaseC* table = Find(name);
  if (table == nullptr) table = AddTable(name);
  if (table == nullptr) {
    // Not an identifier: nothing is registered, but the payload is read
    // through so that the caller knows where it ends.
    TKSBaseC scratch;
    LoadSnapshotInto(&scratch, payload, &result.bytes_read, &result.complete);
    return result;
  }
  const int32_t position = Position(name);
  if (name == "videor") videor_position_ = position;
  if (name == "video") video_position_ = position;

  LoadSnapshotInto(table, payload, &result.bytes_read, &result.complete);
  if (ack_sender_) {
    std::string ack;
    PutNameSlot(&ack, table->NameTable(), kTableNameCapacity);
    ack_sender_(kCmdSnapshotAck, ack);
  }
  table->RebuildView();
  table->SetFlagRefresh(true);
  result.table = table;
  return result;
}

void TableRegistry::HandleRecordUpdate(std::string_view payload) {
  ByteReader in(payload);
  std::string name;
  int32_t index = 0;
  if (!GetNameSlot(in, kTableNameCapacity, &name) || !in.GetI32(&index)) return;
  TKSBaseC* table = Find(name);
  if (table == nullptr) return;
  if (index < 0 || index > table->IdentityRows())
    // "Превышение count -" (Windows-1251), the index and the table name.
    Log("\xCF\xF0\xE5\xE2\xFB\xF8\xE5\xED\xE8\xE5 count -" + std::to_string(index) + " " + name);
  const RecordUpdateResult r = table->ApplyRecordUpdate(index, payload);
  switch (r) {
    case RecordUpdateResult::kApplied:
    case RecordUpdateResult::kNoRoom:
      break;
    case RecordUpdateResult::kBadTotal:
      Log("record update dropped, bad total: " + name);
      break;
    case RecordUpdateResult::kTruncated:
      Log("record update cut short: " + name);
      break;
    case RecordUpdateResult::kUnknownField:
      Log("record update stopped at an unknown field: " + name);
      break;
    case RecordUpdateResult::kNoValueSlot:
      Log("record update stopped at a field without a value: " + name);
      break;
    case RecordUpdateResult::kBadHeap:
      Log("record update stopped at a bad heap entry: " + name);
      break;
  }
  table->RebuildView();
  table->SetFlagRefresh(true);
}

void TableRegistry::HandleDeletionNotice(std::string_view table_name, int32_t n_abs) {
  for (const auto& t : tables_) {
    if (t->NameTable() != table_name) continue;
    t->MarkDeleted(n_abs);
    t->RebuildView();
    t->SetFlagRefresh(true);
  }
}

void TableRegistry::HandleDeletionNotice(std::string_view payload) {
  ByteReader in(payload);
  std::string name;
  int32_t n_abs = 0;
  if (!GetNameSlot(in, kTableNameCapacity, &name) || !in.GetI32(&n_abs)) return;
  HandleDeletionNotice(name, n_abs);
}

int TableRegistry::HandleEditDone(std::string_view table_name) {
  int n = 0;
  for (const auto& t : tables_) {
    if (t->NameTable() != table_name) continue;
    t->EditDone();
    ++n;
  }
  return n;
}

void TableRegistry::Reset() {
  for (auto& t : tables_) t->ClearStructure();
  tables_.clear();
  video_position_ = -1;
  videor_position_ = -1;
}

}  // namespace korvel
