// The control operations of MessageServer: what the control interface asks
// of the server's tables, settings block, workstations and archives.
#include <algorithm>
#include <cstdlib>

#include "link/wire/message.h"
#include "link/wire/wire_format.h"
#include "msgserver/message_server.h"
#include "msgserver/table_encoding.h"
#include "msgserver/value_json.h"
#include "platform/codepage.h"
#include "platform/date_time.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

json WorkstationJson(const Workstation& ws) {
  json j = {{"id", ws.id},
            {"peer", ws.peer},
            {"connected", ws.connected},
            {"connected_at", FormatShortDate(ws.connected_at) + " " + FormatLongTime(ws.connected_at)},
            {"logged_in", ws.logged_in},
            {"client_kind", ws.client_kind},
            {"client_flags", ws.client_flags},
            {"place", ws.place},
            {"version", ws.version},
            {"compressed", ws.client_compresses},
            {"frames_in", ws.frames_in},
            {"frames_out", ws.frames_out},
            {"pending_replies", ws.replies.size()},
            {"pending_sub_messages", ws.sub_messages.size()},
            {"faults",
             {{"silent", ws.faults.silent},
              {"damage_next", ws.faults.damage_next},
              {"delay_ms", ws.faults.delay_ms}}}};
  json sent = json::array(), acked = json::array();
  for (const auto& t : ws.snapshot_sent) sent.push_back(Cp1251ToUtf8(t));
  for (const auto& t : ws.snapshot_acked) acked.push_back(Cp1251ToUtf8(t));
  j["snapshots_sent"] = sent;
  j["snapshots_acked"] = acked;
  return j;
}

bool Fail(int* status, std::string* error, int code, std::string text) {
  *status = code;
  *error = std::move(text);
  return false;
}

}  // namespace

std::vector<Workstation*> MessageServer::TargetsLocked(const std::string& target, int* status,
                                                       std::string* error) {
  std::vector<Workstation*> out;
  if (target == "all") {
    for (auto& [id, ws] : workstations_) {
      if (ws->connected) out.push_back(ws.get());
    }
    return out;
  }
  if (target.rfind("place:", 0) == 0) {
    const int place = std::atoi(target.c_str() + 6);
    for (auto& [id, ws] : workstations_) {
      if (ws->connected && ws->place == place) out.push_back(ws.get());
    }
    if (out.empty()) Fail(status, error, 404, "no connected workstation at place " + target.substr(6));
    return out;
  }
  char* end = nullptr;
  const long id = std::strtol(target.c_str(), &end, 10);
  auto it = target.empty() || *end != '\0' ? workstations_.end() : workstations_.find(static_cast<int>(id));
  if (it == workstations_.end()) {
    Fail(status, error, 404, "no workstation " + target + " (use an id, \"all\" or \"place:N\")");
    return out;
  }
  out.push_back(it->second.get());
  return out;
}

json MessageServer::Status() {
  std::lock_guard lock(mu_);
  json conns = json::array();
  for (const auto& [id, ws] : workstations_) conns.push_back(WorkstationJson(*ws));
  const double now = ServerTime();
  return {{"address", options_.address},
          {"port", port_},
          {"server_time", FormatShortDate(now) + " " + FormatLongTime(now)},
          {"data_folder", options_.data_folder},
          {"workstations", conns}};
}

json MessageServer::ListTables() {
  std::lock_guard lock(mu_);
  json out = json::array();
  for (const auto& t : tables_) {
    int live = 0;
    for (int32_t r = 0; r < t.record_count(); ++r) live += t.IsDeleted(r) ? 0 : 1;
    out.push_back({{"name", Cp1251ToUtf8(t.name())},
                   {"records", t.record_count()},
                   {"live_records", live},
                   {"fields", FieldsToJson(t)}});
  }
  return out;
}

bool MessageServer::GetTable(const std::string& name, json* out, int* status, std::string* error) {
  std::lock_guard lock(mu_);
  const ServerTable* t = FindTableLocked(Utf8ToCp1251(name));
  if (t == nullptr) return Fail(status, error, 404, "no table " + name);
  json records = json::array();
  for (int32_t r = 0; r < t->record_count(); ++r) {
    json rec = RecordToJson(*t, r);
    rec["_index"] = r;
    records.push_back(rec);
  }
  *out = {{"name", name}, {"fields", FieldsToJson(*t)}, {"records", records}};
  return true;
}

bool MessageServer::InsertRecord(const std::string& table, const json& values, json* out,
                                 int* status, std::string* error) {
  std::lock_guard lock(mu_);
  ServerTable* t = FindTableLocked(Utf8ToCp1251(table));
  if (t == nullptr) return Fail(status, error, 404, "no table " + table);
  std::vector<IncomingValue> parsed;
  if (!RecordValuesFromJson(*t, values, &parsed, error)) return Fail(status, error, 400, *error);
  bool keep_id = false;
  for (const auto& v : parsed) {
    if (v.field != "n_abs") continue;
    if (v.value.number <= 0 || v.value.number > INT32_MAX ||
        t->FindRecord(static_cast<int32_t>(v.value.number)) >= 0) {
      return Fail(status, error, 409, "n_abs " + std::to_string(v.value.number) + " is taken or not positive");
    }
    keep_id = true;
  }
  const int32_t index = t->Insert(parsed, keep_id);
  PushRecordUpdateLocked(*t, index);
  *out = RecordToJson(*t, index);
  (*out)["_index"] = index;
  return true;
}

bool MessageServer::UpdateRecord(const std::string& table, int32_t n_abs, const json& values,
                                 json* out, int* status, std::string* error) {
  std::lock_guard lock(mu_);
  ServerTable* t = FindTableLocked(Utf8ToCp1251(table));
  if (t == nullptr) return Fail(status, error, 404, "no table " + table);
  std::vector<IncomingValue> parsed;
  if (!RecordValuesFromJson(*t, values, &parsed, error)) return Fail(status, error, 400, *error);
  const int32_t index = t->Update(n_abs, parsed);
  if (index < 0) return Fail(status, error, 404, "no record with n_abs " + std::to_string(n_abs));
  PushRecordUpdateLocked(*t, index);
  *out = RecordToJson(*t, index);
  (*out)["_index"] = index;
  return true;
}

bool MessageServer::DeleteRecord(const std::string& table, int32_t n_abs, int* status,
                                 std::string* error) {
  std::lock_guard lock(mu_);
  ServerTable* t = FindTableLocked(Utf8ToCp1251(table));
  if (t == nullptr) return Fail(status, error, 404, "no table " + table);
  if (t->MarkDeleted(n_abs) < 0) {
    return Fail(status, error, 404, "no live record with n_abs " + std::to_string(n_abs));
  }
  PushDeletionLocked(*t, n_abs);
  return true;
}

bool MessageServer::CompactTable(const std::string& table, json* out, int* status,
                                 std::string* error) {
  std::lock_guard lock(mu_);
  ServerTable* t = FindTableLocked(Utf8ToCp1251(table));
  if (t == nullptr) return Fail(status, error, 404, "no table " + table);
  const int dropped = t->Compact();
  // Record positions changed: every copy is replaced by a fresh snapshot.
  const std::string snap = BuildMessage(msgSnapshot, EncodeSnapshot(*t), 0);
  int pushed = 0;
  for (auto& [id, ws] : workstations_) {
    if (ws->connected && ws->snapshot_sent.count(t->name())) {
      ws->sub_messages.push_back(snap);
      ++pushed;
    }
  }
  *out = {{"dropped", dropped}, {"records", t->record_count()}, {"snapshots_sent", pushed}};
  return true;
}

json MessageServer::Settings() {
  std::lock_guard lock(mu_);
  json bytes = json::object();
  for (size_t i = 0; i < settings_.size(); ++i) {
    if (settings_[i] != 0) bytes[std::to_string(i)] = settings_[i];
  }
  return {{"size", settings_.size()}, {"bytes", bytes}};
}

bool MessageServer::SetSettings(const json& bytes, int* status, std::string* error) {
  std::lock_guard lock(mu_);
  if (!ApplySettingsBytes(bytes, &settings_, error)) return Fail(status, error, 400, *error);
  PushSettingsLocked();
  return true;
}

bool MessageServer::SendControl(const std::string& target, const std::string& message, json* out,
                                int* status, std::string* error) {
  static const std::pair<const char*, uint32_t> kControls[] = {
      {"msgReconnect", msgReconnect},
      {"msgDropAndClear", msgDropAndClear},
      {"msgLinkDisable", msgLinkDisable},
      {"msgResetErrors", msgResetErrors},
  };
  uint32_t type = 0;
  for (const auto& [name, code] : kControls) {
    if (message == name) type = code;
  }
  if (type == 0) {
    return Fail(status, error, 400,
                "message must be msgReconnect, msgDropAndClear, msgLinkDisable or msgResetErrors");
  }
  std::lock_guard lock(mu_);
  auto targets = TargetsLocked(target, status, error);
  if (!error->empty()) return false;
  json ids = json::array();
  for (auto* ws : targets) {
    ws->replies.push_back({QueuedReply::Kind::kMessage, BuildMessage(type, {}, 0), {}});
    ids.push_back(ws->id);
    Say(ws, "control: " + message + " queued as the next reply");
  }
  *out = {{"queued", ids}};
  return true;
}

bool MessageServer::SetFaults(const std::string& target, const json& faults, json* out, int* status,
                              std::string* error) {
  if (!faults.is_object()) return Fail(status, error, 400, "faults must be a JSON object");
  for (auto it = faults.begin(); it != faults.end(); ++it) {
    const std::string& k = it.key();
    const bool is_bool = it.value().is_boolean();
    const bool is_count = it.value().is_number_integer() && it.value().get<int64_t>() >= 0 &&
                          it.value().get<int64_t>() <= 600000;
    if (!((k == "silent" || k == "close") ? is_bool : (k == "damage_next" || k == "delay_ms") && is_count)) {
      return Fail(status, error, 400,
                  "faults take \"silent\" (bool), \"damage_next\" (count), \"delay_ms\" "
                  "(0..600000) and \"close\" (bool); bad member \"" + k + "\"");
    }
  }
  std::lock_guard lock(mu_);
  auto targets = TargetsLocked(target, status, error);
  if (!error->empty()) return false;
  json ids = json::array();
  for (auto* ws : targets) {
    if (faults.contains("silent")) ws->faults.silent = faults["silent"].get<bool>();
    if (faults.contains("damage_next")) ws->faults.damage_next = faults["damage_next"].get<int>();
    if (faults.contains("delay_ms")) ws->faults.delay_ms = faults["delay_ms"].get<int>();
    if (faults.contains("close") && faults["close"].get<bool>()) ws->faults.close = true;
    ids.push_back(ws->id);
    Say(ws, "control: faults " + faults.dump());
  }
  *out = {{"workstations", ids}};
  return true;
}

bool MessageServer::Resync(const std::string& target, json* out, int* status, std::string* error) {
  std::lock_guard lock(mu_);
  auto targets = TargetsLocked(target, status, error);
  if (!error->empty()) return false;
  json ids = json::array();
  for (auto* ws : targets) {
    for (const auto& t : tables_) {
      ws->sub_messages.push_back(BuildMessage(msgSnapshot, EncodeSnapshot(t), 0));
      ws->snapshot_sent.insert(t.name());
    }
    ids.push_back(ws->id);
  }
  *out = {{"workstations", ids}};
  return true;
}

bool MessageServer::Log(const std::string& target, uint64_t since, const std::string& type,
                        json* out, int* status, std::string* error) {
  std::lock_guard lock(mu_);
  std::vector<Workstation*> targets;
  if (target == "all") {
    for (auto& [id, ws] : workstations_) targets.push_back(ws.get());
  } else {
    targets = TargetsLocked(target, status, error);
    if (!error->empty()) return false;
  }
  json list = json::array();
  for (auto* ws : targets) {
    json entries = json::array();
    for (const auto& e : ws->log) {
      if (e.value("seq", uint64_t{0}) <= since) continue;
      if (!type.empty() && e.value("type", std::string()) != type) continue;
      entries.push_back(e);
    }
    list.push_back({{"id", ws->id}, {"place", ws->place}, {"connected", ws->connected},
                    {"entries", entries}});
  }
  *out = {{"workstations", list}};
  return true;
}

json MessageServer::Archives() {
  std::lock_guard lock(mu_);
  json list = json::array();
  for (const auto& s : archives_.List()) {
    list.push_back({{"name", Cp1251ToUtf8(s.name)},
                    {"pool_bytes", s.pool_bytes},
                    {"record_bytes", s.record_bytes},
                    {"index_bytes", s.index_bytes}});
  }
  return {{"folder", options_.data_folder}, {"year_archives", list}};
}

}  // namespace korvel::msgserver
