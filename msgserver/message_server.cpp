#include "msgserver/message_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <iostream>

#include "link/wire/frame_codec.h"
#include "link/wire/frame_io.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"
#include "link/wire/wire_format.h"
#include "msgserver/camera_event_reader.h"
#include "msgserver/table_encoding.h"
#include "msgserver/value_json.h"
#include "platform/codepage.h"
#include "platform/counted_text.h"
#include "platform/date_time.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

std::string Hex(std::string_view bytes, size_t max = 64) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < max; ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    out.push_back(d[b >> 4]);
    out.push_back(d[b & 15]);
  }
  if (bytes.size() > max) out += "...";
  return out;
}

std::string Utf8(const std::string& cp1251) { return ReplaceControlBytes(Cp1251ToUtf8(cp1251)); }

std::string PeerName(int fd) {
  sockaddr_in addr{};
  socklen_t len = sizeof addr;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

std::string TimeStamp() {
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  const DateTime dt = NowDateTime();
  char buf[8];
  std::snprintf(buf, sizeof buf, ".%03d", static_cast<int>(ms.count()));
  return FormatShortDate(dt) + " " + FormatLongTime(dt) + buf;
}

// A frame that no reader accepts: a header with an unknown marker.
std::string DamagedFrame() {
  std::string f(kFrameHeaderSize, '\0');
  f[0] = 0x5A;
  f[5] = 0x10;
  f += "damaged-by-test!";
  return f;
}

}  // namespace

std::string MessageTypeName(uint32_t type) {
  switch (type) {
    case msgLogin: return "msgLogin";
    case msgLoginAccepted: return "msgLoginAccepted";
    case msgLinkDisable: return "msgLinkDisable";
    case msgResetErrors: return "msgResetErrors";
    case msgResourceText: return "msgResourceText";
    case msgReconnect: return "msgReconnect";
    case msgDropAndClear: return "msgDropAndClear";
    case msgSnapshot: return "msgSnapshot";
    case msgInsert: return "msgInsert";
    case msgUpdate: return "msgUpdate";
    case msgDelete: return "msgDelete";
    case msgSnapshotAck: return "msgSnapshotAck";
    case msgRecordUpdate: return "msgRecordUpdate";
    case msgEditDoneNotice: return "msgEditDoneNotice";
    case msgDeletionNotice: return "msgDeletionNotice";
    case msgArchiveChunk: return "msgArchiveChunk";
    case msgCameraEvent: return "msgCameraEvent";
    case msgPoll: return "msgPoll";
    case msgTableList: return "msgTableList";
    case msgDictionaryCode: return "msgDictionaryCode";
    case msgTableBlob: return "msgTableBlob";
    case msgClientFlags: return "msgClientFlags";
    case msgClientVersion: return "msgClientVersion";
    case msgClientPlace: return "msgClientPlace";
    case msgServerSettings: return "msgServerSettings";
    case msgContainer: return "msgContainer";
    default: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%08" PRIX32, type);
      return buf;
    }
  }
}

MessageServer::MessageServer(ServerOptions options, SeedData seed)
    : options_(std::move(options)),
      tables_(std::move(seed.tables)),
      settings_(seed.settings),
      archives_(options_.data_folder) {}

MessageServer::~MessageServer() { Stop(); }

bool MessageServer::Start(std::string* error) {
  listener_ = ListenTcp(options_.address, options_.port, 16, &port_);
  if (!listener_) {
    *error = "cannot listen on " + options_.address + ":" + std::to_string(options_.port);
    return false;
  }
  running_ = true;
  accept_thread_ = std::thread([this] { AcceptLoop(); });
  Say(nullptr, "listening on " + options_.address + ":" + std::to_string(port_) +
                   ", archives in " + options_.data_folder);
  return true;
}

void MessageServer::Stop() {
  if (!running_.exchange(false)) return;
  ShutdownSocket(listener_.fd());  // wakes the accept wait
  if (accept_thread_.joinable()) accept_thread_.join();
  listener_.Close();
  std::vector<Workstation*> all;
  {
    std::lock_guard lock(mu_);
    for (auto& [id, ws] : workstations_) {
      ShutdownSocket(ws->socket.fd());
      all.push_back(ws.get());
    }
  }
  for (auto* ws : all) {
    if (ws->thread.joinable()) ws->thread.join();
  }
  Say(nullptr, "stopped");
}

void MessageServer::AcceptLoop() {
  while (running_) {
    Socket s = AcceptTcp(listener_.fd(), 200);
    ReapFinished();
    if (!s) continue;
    size_t open = 0;
    {
      std::lock_guard lock(mu_);
      for (const auto& [id, w] : workstations_) open += w->finished ? 0 : 1;
    }
    if (open >= options_.max_workstations) {
      Say(nullptr, "connection from " + PeerName(s.fd()) + " refused: " + std::to_string(open) +
                       " workstations connected already");
      continue;
    }
    auto ws = std::make_unique<Workstation>();
    ws->peer = PeerName(s.fd());
    ws->socket = std::move(s);
    ws->connected_at = ServerTime();
    Workstation* raw = ws.get();
    {
      std::lock_guard lock(mu_);
      ws->id = next_id_++;
      workstations_[ws->id] = std::move(ws);
      raw->thread = std::thread([this, raw] { Serve(raw); });
    }
    Say(raw, "connected");
  }
}

void MessageServer::ReapFinished() {
  std::vector<std::unique_ptr<Workstation>> gone;
  {
    std::lock_guard lock(mu_);
    size_t closed = 0;
    for (auto it = workstations_.rbegin(); it != workstations_.rend(); ++it) {
      if (it->second->finished) ++closed;
    }
    // Keep the newest closed workstations (their logs stay readable).
    for (auto it = workstations_.begin();
         it != workstations_.end() && closed > options_.closed_workstations_kept;) {
      if (it->second->finished) {
        gone.push_back(std::move(it->second));
        it = workstations_.erase(it);
        --closed;
      } else {
        ++it;
      }
    }
  }
  for (auto& ws : gone) {
    if (ws->thread.joinable()) ws->thread.join();
  }
}

void MessageServer::Serve(Workstation* ws) {
  const int fd = ws->socket.fd();
  int32_t chunk = kDefaultPacketSize;
  std::string reason = "closed by the workstation";
  while (running_) {
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, 200);
    {
      std::lock_guard lock(mu_);
      if (ws->faults.close) {
        reason = "closed by the control interface";
        break;
      }
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) continue;
    if (r < 0) {
      reason = "poll failed";
      break;
    }
    uint8_t marker = 0;
    const ssize_t peeked = ::recv(fd, &marker, 1, MSG_PEEK);
    if (peeked <= 0) break;
    const bool compressed = marker == kFrameMarkerCompressed;
    std::string message;
    const ReceiveStatus st = ReceiveFrame(fd, &chunk, &message);
    if (st != ReceiveStatus::kMessage || message.empty() || !IsValidMessage(message)) {
      if (!running_) break;
      reason = st != ReceiveStatus::kMessage ? "damaged frame (header or body)"
               : message.empty()            ? "damaged frame (compressed body does not inflate)"
                                            : "damaged message header";
      break;
    }
    std::string reply;
    Faults faults;
    {
      std::lock_guard lock(mu_);
      reply = HandleLocked(ws, message, compressed);
      faults = ws->faults;
      if (ws->faults.damage_next > 0) --ws->faults.damage_next;
    }
    if (faults.silent) {
      Say(ws, "fault: reply withheld");
      continue;
    }
    if (faults.delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(faults.delay_ms));
    bool sent;
    if (faults.damage_next > 0) {
      Say(ws, "fault: damaged frame sent");
      sent = SendAll(fd, DamagedFrame());
    } else {
      const bool compress = options_.compress == CompressMode::kAlways ||
                            (options_.compress == CompressMode::kMirror && compressed);
      sent = SendFrame(fd, reply, compress);
    }
    if (!sent) {
      reason = "send failed";
      break;
    }
    std::lock_guard lock(mu_);
    ++ws->frames_out;
  }
  {
    std::lock_guard lock(mu_);
    ws->connected = false;
    ws->replies.clear();
    ws->sub_messages.clear();
    // Closed under the lock: Stop() reads the descriptor under it to shut
    // it down, and must never reach a number reused by another file.
    ws->socket.Close();
  }
  Say(ws, "disconnected: " + reason);
  ws->finished = true;
}

std::string MessageServer::HandleLocked(Workstation* ws, const std::string& message,
                                        bool compressed) {
  ++ws->frames_in;
  ws->client_compresses = compressed;
  const uint32_t type = MessageType(message);
  const std::string_view payload = MessagePayload(message);
  json entry = {{"type", MessageTypeName(type)},
                {"code", type},
                {"length", payload.size()},
                {"sequence", DecodeU64(message.data() + kMessageSequenceOffset)},
                {"compressed", compressed}};
  const ArchiveSizes* sizes = nullptr;
  std::optional<ArchiveSizes> poll_sizes;
  bool quiet = false;
  switch (type) {
    case msgLogin: {
      uint16_t kind = 0;
      ByteReader in(payload);
      in.GetU16(&kind);
      ws->client_kind = kind;
      ws->logged_in = true;
      ws->snapshot_sent.clear();
      ws->snapshot_acked.clear();
      ws->sub_messages.clear();
      ws->replies.clear();
      ws->replies.push_back({QueuedReply::Kind::kMessage, BuildMessage(msgLoginAccepted, {}, 0), {}});
      ws->replies.push_back({QueuedReply::Kind::kTableList, {}, {}});
      for (const auto& t : tables_) ws->replies.push_back({QueuedReply::Kind::kSnapshot, {}, t.name()});
      ws->sub_messages.push_back(BuildMessage(
          msgServerSettings,
          std::string_view(reinterpret_cast<const char*>(settings_.data()), settings_.size()), 0));
      entry["client_kind"] = kind;
      break;
    }
    case msgClientFlags:
      ws->client_flags = Hex(payload);
      entry["flags"] = ws->client_flags;
      break;
    case msgClientPlace:
      if (!payload.empty()) ws->place = static_cast<uint8_t>(payload[0]);
      entry["place"] = ws->place;
      break;
    case msgClientVersion: {
      ByteReader in(payload);
      uint16_t v[4] = {};
      for (auto& x : v) in.GetU16(&x);
      ws->version = std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
                    std::to_string(v[2]) + "." + std::to_string(v[3]);
      entry["version"] = ws->version;
      break;
    }
    case msgSnapshotAck: {
      ByteReader in(payload);
      std::string table;
      if (GetNameSlot(in, kTableNameCapacity, &table)) {
        ws->snapshot_acked.insert(table);
        entry["table"] = Utf8(table);
      }
      break;
    }
    case msgPoll: {
      if (ParsePollPayload(payload, &poll_sizes) && poll_sizes) {
        sizes = &*poll_sizes;
        entry["archive"] = {{"name", Utf8(sizes->name)},
                            {"pool", sizes->pool_bytes},
                            {"records", sizes->record_bytes},
                            {"index", sizes->index_bytes}};
      } else if (!payload.empty()) {
        entry["error"] = "unreadable poll payload";
      }
      quiet = true;
      break;
    }
    case msgInsert:
    case msgUpdate:
    case msgDelete:
      ApplyTableRequestLocked(ws, type, payload, &entry);
      break;
    case msgDictionaryCode: {
      DictionaryCodeRequest d;
      if (DecodeDictionaryCode(payload, &d)) {
        entry["table"] = Utf8(d.table);
        entry["field"] = Utf8(d.field);
        entry["kind"] = d.kind;
        entry["text_width"] = d.text_width;
        entry["constant"] = d.constant;
        entry["code"] = d.code;
      } else {
        entry["error"] = "dictionary-code message shorter than 30 bytes";
      }
      break;
    }
    case msgCameraEvent: {
      CameraEventRecord e;
      if (!ReadCameraEvent(payload, &e)) {
        entry["error"] = "camera event shorter than 1461 bytes";
        break;
      }
      entry["archive"] = Utf8(e.archive);
      entry["operation"] = e.operation;
      entry["event_time"] = FormatShortDate(e.event_time) + " " + FormatLongTime(e.event_time);
      entry["event_type"] = e.event_type;
      entry["n_obj"] = e.object_number;
      entry["nameobj"] = Utf8(e.object_name);
      entry["text"] = Utf8(e.event_text);
      entry["name"] = Utf8(e.camera_name);
      entry["url"] = Utf8(e.camera_url);
      entry["recording_file"] = Utf8(e.recording_file);
      entry["workstation"] = e.workstation;
      entry["flag"] = e.flag;
      entry["listed"] = e.listed;
      std::string error;
      if (!archives_.Append(e, payload, &error)) entry["error"] = "not stored: " + error;
      break;
    }
    default:
      entry["payload_hex"] = Hex(payload);
      break;
  }
  std::string reply = NextReplyLocked(ws, sizes);
  const uint32_t reply_type = MessageType(reply);
  const bool empty_poll_reply =
      reply_type == msgPoll && MessagePayload(reply).size() <= kPollReplyTimeSize + 1;
  entry["reply"] = MessageTypeName(reply_type);
  if (reply_type == msgPoll && MessagePayload(reply).size() > kPollReplyTimeSize) {
    entry["reply_sub_messages"] = static_cast<uint8_t>(MessagePayload(reply)[kPollReplyTimeSize]);
  }
  const int verbosity = options_.verbosity;
  if (verbosity >= 2 || (verbosity >= 1 && !(quiet && empty_poll_reply && !entry.contains("error")))) {
    json brief = entry;
    brief.erase("code");
    brief.erase("sequence");
    Say(ws, "<- " + brief.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  const json archive = entry.contains("archive") ? entry["archive"] : json();
  const bool routine_poll = type == msgPoll && empty_poll_reply && !entry.contains("error") &&
                            archive == ws->last_poll_archive;
  if (type == msgPoll) ws->last_poll_archive = archive;
  if (!routine_poll) AddLogLocked(ws, std::move(entry));
  return reply;
}

std::string MessageServer::NextReplyLocked(Workstation* ws, const ArchiveSizes* sizes) {
  while (!ws->replies.empty()) {
    QueuedReply q = std::move(ws->replies.front());
    ws->replies.pop_front();
    switch (q.kind) {
      case QueuedReply::Kind::kMessage:
        return q.message;
      case QueuedReply::Kind::kTableList: {
        std::string text;
        for (const auto& t : tables_) text += t.name() + "\r\n";
        return BuildMessage(msgTableList, text, 0);
      }
      case QueuedReply::Kind::kSnapshot: {
        const ServerTable* t = FindTableLocked(q.table);
        if (t == nullptr) continue;  // dropped meanwhile
        ws->snapshot_sent.insert(t->name());
        return BuildMessage(msgSnapshot, EncodeSnapshot(*t), 0);
      }
    }
  }
  return PollReplyLocked(ws, sizes);
}

std::string MessageServer::PollReplyLocked(Workstation* ws, const ArchiveSizes* sizes) {
  std::string subs;
  int count = 0;
  while (!ws->sub_messages.empty() && count < 255) {
    const std::string& next = ws->sub_messages.front();
    if (count > 0 && subs.size() + next.size() > options_.max_reply_bytes) break;
    subs += next;
    ws->sub_messages.pop_front();
    ++count;
  }
  // Archive tails go after the pushes, in the room that is left.
  if (sizes != nullptr && count < 255 && subs.size() < options_.max_reply_bytes) {
    const size_t room = std::min(options_.max_chunk_bytes, options_.max_reply_bytes - subs.size());
    for (const auto& chunk : archives_.ChunksFor(*sizes, room)) {
      if (count >= 255) break;
      subs += BuildMessage(msgArchiveChunk, chunk, 0);
      ++count;
    }
  }
  std::string payload = BuildPollReplyPayload(ServerTime(), static_cast<uint8_t>(count), subs);
  if (count == 0) payload.resize(kPollReplyTimeSize);  // the time alone
  return BuildMessage(msgPoll, payload, 0);
}

void MessageServer::ApplyTableRequestLocked(Workstation*, uint32_t type, std::string_view payload,
                                            json* entry) {
  TableRequest req;
  bool ok;
  if (type == msgDelete) {
    ok = DecodeDeleteRequest(payload, &req);
  } else {
    std::vector<const ServerTable*> tables;
    for (const auto& t : tables_) tables.push_back(&t);
    ok = DecodeEditRequest(payload, type == msgUpdate, tables, &req);
  }
  (*entry)["table"] = Utf8(req.table);
  if (type != msgInsert) (*entry)["n_abs"] = req.n_abs;
  ServerTable* table = FindTableLocked(req.table);
  if (!ok || table == nullptr) {
    (*entry)["error"] = table == nullptr ? "unknown table" : "payload too short";
    return;
  }
  json values = json::object();
  for (const auto& v : req.values) {
    const int fi = table->FieldIndex(v.field);
    const FieldDescriptor& f = table->fields()[static_cast<size_t>(fi)];
    if (f.kind == kFieldDict16 || f.kind == kFieldDict8 || f.kind == kFieldHeap) {
      values[Utf8(v.field)] = Utf8(v.text);
    } else {
      values[Utf8(v.field)] = ValueToJson(*table, static_cast<size_t>(fi), v.value);
    }
  }
  if (type != msgDelete) {
    (*entry)["values"] = values;
    (*entry)["sysuser"] = Utf8(req.sys_user);
  }
  if (!req.unknown_field.empty()) {
    (*entry)["error"] = "unknown field " + Utf8(req.unknown_field) + "; the entries after it are lost";
  }
  switch (type) {
    case msgInsert: {
      const int32_t index = table->Insert(req.values);
      (*entry)["result"] = {{"n_abs", table->record(index)[0].number}, {"index", index}};
      PushRecordUpdateLocked(*table, index);
      break;
    }
    case msgUpdate: {
      const int32_t index = table->Update(req.n_abs, req.values);
      if (index < 0) {
        (*entry)["error"] = "no record with this n_abs";
        break;
      }
      (*entry)["result"] = {{"index", index}};
      PushRecordUpdateLocked(*table, index);
      break;
    }
    default: {
      const int32_t index = table->MarkDeleted(req.n_abs);
      if (index < 0) {
        (*entry)["error"] = "no such record, or already deleted";
        break;
      }
      (*entry)["result"] = {{"index", index}};
      PushDeletionLocked(*table, req.n_abs);
      break;
    }
  }
}

void MessageServer::PushRecordUpdateLocked(const ServerTable& table, int32_t index) {
  const std::string msg = BuildMessage(msgRecordUpdate, EncodeRecordUpdate(table, index), 0);
  for (auto& [id, ws] : workstations_) {
    if (ws->connected && ws->snapshot_sent.count(table.name())) ws->sub_messages.push_back(msg);
  }
}

void MessageServer::PushDeletionLocked(const ServerTable& table, int32_t n_abs) {
  const std::string msg = BuildMessage(msgDeletionNotice, BuildDeletionNotice(table.name(), n_abs), 0);
  for (auto& [id, ws] : workstations_) {
    if (ws->connected && ws->snapshot_sent.count(table.name())) ws->sub_messages.push_back(msg);
  }
}

void MessageServer::PushSettingsLocked() {
  const std::string msg = BuildMessage(
      msgServerSettings,
      std::string_view(reinterpret_cast<const char*>(settings_.data()), settings_.size()), 0);
  for (auto& [id, ws] : workstations_) {
    if (ws->connected && ws->logged_in) ws->sub_messages.push_back(msg);
  }
}

ServerTable* MessageServer::FindTableLocked(const std::string& name) {
  for (auto& t : tables_) {
    if (t.name() == name) return &t;
  }
  return nullptr;
}

void MessageServer::AddLogLocked(Workstation* ws, json entry) {
  entry["seq"] = ws->log_next++;
  entry["time"] = TimeStamp();
  ws->log.push_back(std::move(entry));
  while (ws->log.size() > options_.log_entries_per_workstation) ws->log.pop_front();
}

void MessageServer::Say(const Workstation* ws, const std::string& line) const {
  std::string text = TimeStamp() + " msgserver";
  if (ws != nullptr) text += " [" + std::to_string(ws->id) + " " + ws->peer + "]";
  text += " " + line + "\n";
  std::lock_guard lock(log_mu_);
  std::cerr << text << std::flush;
}

double MessageServer::ServerTime() const { return NowDateTime() + clock_offset_days_.load(); }

void MessageServer::SetClockOffsetSeconds(double seconds) { clock_offset_days_ = seconds / 86400.0; }

}  // namespace korvel::msgserver
