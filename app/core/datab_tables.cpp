// The table side of the coordinator: TableAccess over the registry, and the
// link's table handlers, each under the table lock.
#include "app/core/datab_tables.h"

#include "platform/codepage.h"

namespace korvel {

namespace {

bool InView(TKSBaseC* t, int record) { return t != nullptr && record >= 1 && record <= t->Count(); }

}  // namespace

// ---- TableAccess ---------------------------------------------------------------

int datab::Tables::RequestCount() {
  TKSBaseC* t = registry.VideoR();
  return t != nullptr ? t->Count() : 0;
}

bool datab::Tables::ReadRequest(int record, RequestRecord* out) {
  TKSBaseC* t = registry.VideoR();
  if (!InView(t, record)) return false;
  out->n_obj = AsInteger(t->FieldOfRecord("n_obj", record));
  out->url = AsString(t->FieldOfRecord("url", record));
  out->name = AsString(t->FieldOfRecord("name", record));
  out->nameobj = AsString(t->FieldOfRecord("nameobj", record));
  out->mesto = AsInteger(t->FieldOfRecord("mesto", record));
  return true;
}

bool datab::Tables::DeleteRequest(int record) {
  TKSBaseC* t = registry.VideoR();
  if (!InView(t, record) || t->IsEditing()) return false;
  t->SetRecordIndex(record);
  t->Delete();  // sends the delete message through the table send hook
  return true;
}

bool datab::Tables::TakeRequestsRefresh() {
  TKSBaseC* t = registry.VideoR();
  if (t == nullptr || !t->FlagRefresh()) return false;
  t->SetFlagRefresh(false);
  return true;
}

int datab::Tables::CameraCount() {
  TKSBaseC* t = registry.Video();
  return t != nullptr ? t->Count() : 0;
}

bool datab::Tables::ReadCamera(int record, CameraRecord* out) {
  TKSBaseC* t = registry.Video();
  if (!InView(t, record)) return false;
  out->n_obj = AsInteger(t->FieldOfRecord("n_obj", record));
  out->ip = AsString(t->FieldOfRecord("ip", record));
  out->port = AsInteger(t->FieldOfRecord("port", record));
  out->lasttime = AsDateTime(t->FieldOfRecord("lasttime", record));
  return true;
}

bool datab::Tables::WriteProbeResult(int record, DateTime when, bool reachable) {
  TKSBaseC* t = registry.Video();
  if (!InView(t, record) || t->IsEditing()) return false;
  t->SetRecordIndex(record);
  if (!t->Edit()) return false;
  try {
    SetAsDateTime(t->FieldByName("lasttime"), when);
    if (reachable) SetAsDateTime(t->FieldByName("ltime"), when);
    t->Post();  // sends the update message through the table send hook
  } catch (...) {
    // Never leave the table "not ready": it would stop every FlagRefresh.
    t->Cancel();
    return false;
  }
  return true;
}

// ---- the registry's hooks --------------------------------------------------------

std::unique_ptr<datab::Tables> datab::MakeTables() {
  auto tables = std::make_unique<Tables>();
  tables->registry.SetSendHook([this](TKSBaseC*, int32_t command, const uint8_t* data, int32_t size) {
    SendTableChange(static_cast<uint32_t>(command),
                    std::string_view(reinterpret_cast<const char*>(data),
                                     size > 0 ? static_cast<size_t>(size) : 0));
  });
  tables->registry.SetAckSender([this](int32_t command, const std::string& payload) {
    cl* link = link_ptr_.load();
    if (link != nullptr && link->Enabled() && link->Connected()) {
      link->PostToServer(static_cast<uint32_t>(command), payload);
    }
  });
  // Lines that carry a table name from the wire: control bytes replaced so a
  // peer cannot forge log lines.
  tables->registry.SetLog([this](const std::string& line) {
    if (cl* link = link_ptr_.load()) link->WriteLinkLog(ReplaceControlBytes(line));
  });
  return tables;
}

bool datab::CameraTablePresent() {
  MutexLock lock(table_lock_);
  return tables_->CamerasPresent();
}

bool datab::TakeRequestsRefresh() {
  MutexLock lock(table_lock_);
  return tables_->TakeRequestsRefresh();
}

void datab::ReleaseTables() { tables_->registry.Reset(); }

// ---- LinkHost: table handlers ------------------------------------------------------

size_t datab::LoadSnapshot(std::string_view bytes) {
  size_t read = 0;
  {
    MutexLock lock(table_lock_);
    read = tables_->registry.LoadSnapshot(bytes).bytes_read;
  }
  Wake();
  return read;
}

void datab::ApplyRecordUpdate(std::string_view payload) {
  {
    MutexLock lock(table_lock_);
    tables_->registry.HandleRecordUpdate(payload);
  }
  Wake();
}

int datab::ApplyEditDone(std::string_view table_name) {
  MutexLock lock(table_lock_);
  return tables_->registry.HandleEditDone(table_name);
}

void datab::AddTables(std::string_view list_text) {
  MutexLock lock(table_lock_);
  tables_->registry.AddTables(list_text);
}

void datab::ResetTables() {
  {
    MutexLock lock(table_lock_);
    tables_->registry.Reset();
  }
  Wake();
}

void datab::ApplyDeletionNotice(const std::string& table_name, int32_t n_abs) {
  {
    MutexLock lock(table_lock_);
    tables_->registry.HandleDeletionNotice(table_name, n_abs);
  }
  Wake();
}

}  // namespace korvel
