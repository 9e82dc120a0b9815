// Handling of the replies the link reads: the connection-control messages,
// the table commands, and the poll reply with its sub-messages.
//
// Every read of a reply is bounded by the reply's end. A poll reply's length
// is the smaller of its length field and the bytes present; a sub-message
// whose header or payload would run past that end ends the walk, and the
// sub-messages already handled stay handled.
#include <cmath>

#include "link/container/ks_data_s.h"
#include "link/session/cl.h"
#include "link/wire/message.h"
#include "link/wire/payloads.h"
#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "platform/tick.h"

namespace korvel {
namespace {

// The one command name a container is compared with; it has no action.
constexpr std::string_view kContainerCommandPutOsm = "Put_OSM";

// Runs `fn` on the main thread and waits; a failure inside stays there.
template <class Fn>
void OnMainThread(LinkHost& host, Fn&& fn) {
  host.RunOnMainThread([&fn] {
    try {
      fn();
    } catch (...) {
    }
  });
}

// A server time is taken only when it is a finite date between 1980 and
// 2200; anything else leaves the clock offset as it was.
bool PlausibleServerTime(DateTime t) {
  if (!std::isfinite(t)) return false;
  CalendarFields f;
  if (!DecodeDateTime(t, &f)) return false;
  return f.year >= 1980 && f.year <= 2200;
}

}  // namespace

void cl::DispatchReply(std::string_view message) {
  const uint32_t type = MessageType(message);
  const std::string_view payload = MessagePayload(message);
  switch (type) {
    case msgLoginAccepted:
      registered_ = true;
      break;
    case msgLinkDisable:
      // The loss is found at the next exchange, which fails.
      enabled_.store(false);
      CloseSocket();
      break;
    case msgResetErrors:
      error_count_.store(0);
      break;
    case msgReconnect:
      error_count_.store(0);
      last_attempt_tick_ = TickMs();
      connected_.store(false);
      CloseSocket();
      ActivityTick();
      break;
    case msgDropAndClear:
      DropConnection();
      OnMainThread(host_, [this] { host_.ResetTables(); });
      break;
    case msgSnapshot:
      OnMainThread(host_, [this, payload] { host_.LoadSnapshot(payload); });
      break;
    case msgRecordUpdate:
      OnMainThread(host_, [this, payload] { host_.ApplyRecordUpdate(payload); });
      break;
    case msgEditDoneNotice: {
      ByteReader in(payload);
      std::string name;
      if (!GetNameSlot(in, kTableNameCapacity, &name)) break;
      int tables = 0;
      OnMainThread(host_, [this, &name, &tables] { tables = host_.ApplyEditDone(name); });
      if (tables > 0) poll_due_ = true;
      break;
    }
    case msgTableList:
      OnMainThread(host_, [this, payload] { host_.AddTables(payload); });
      break;
    case msgPoll:
      HandlePollReply(payload, MessageLengthField(message));
      break;
    default:
      break;  // any other type: nothing
  }
}

void cl::HandlePollReply(std::string_view payload, int32_t length_field) {
  if (length_field <= 0) return;
  const size_t length = std::min<size_t>(static_cast<size_t>(length_field), payload.size());
  const std::string_view reply = payload.substr(0, length);
  if (reply.size() < kPollReplyTimeSize) return;
  const DateTime server_time = DecodeF64(reply.data());
  if (PlausibleServerTime(server_time)) clock_offset_.store(NowDateTime() - server_time);
  if (reply.size() <= kPollReplyTimeSize) return;
  try {
    HandleSubMessages(reply);
  } catch (...) {
    // Any other failure ends the walk; what was handled stays handled.
  }
}

void cl::HandleSubMessages(std::string_view reply) {
  const uint8_t count = static_cast<uint8_t>(reply[kPollReplyTimeSize]);
  size_t pos = kPollReplyHeaderSize;  // ParsePos
  for (int i = 0; i < count; ++i) {
    ByteReader in(reply.substr(pos));
    MessageHeader header;
    if (!ReadMessageHeader(in, &header)) return;
    if (header.start != kMessageStart) WriteLinkLog(LinkLogText(kLogNot255));
    const size_t start = pos + kMessageHeaderSize;
    // The declared payload's end; negative lengths and overruns end the walk
    // for the types that are delimited by it.
    size_t declared_end = reply.size() + 1;
    if (header.length >= 0 && static_cast<uint64_t>(header.length) <= reply.size() - start) {
      declared_end = start + static_cast<size_t>(header.length);
    }
    size_t next = 0;
    if (!HandleSubMessage(header.type, reply, start, declared_end, &next)) return;
    pos = next;
  }
}

// Acts on one sub-message whose payload starts at `start`; `end` is where
// its length field says it ends (reply.size() + 1 when that is past the
// reply). Sets *next to the position after it; false ends the walk.
bool cl::HandleSubMessage(uint32_t type, std::string_view reply, size_t start, size_t end,
                          size_t* next) {
  const size_t left = reply.size() - start;
  switch (type) {
    case msgDeletionNotice: {
      // Always 13 bytes, whatever the length field says.
      ByteReader in(reply.substr(start));
      std::string table;
      int32_t n_abs = 0;
      if (!ReadDeletionNotice(in, &table, &n_abs)) return false;
      try {
        host_.ApplyDeletionNotice(table, n_abs);
      } catch (...) {
      }
      *next = start + kDeletionNoticeSize;
      return true;
    }
    case msgRecordUpdate: {
      if (end > reply.size()) return false;
      const std::string_view update = reply.substr(start, end - start);
      OnMainThread(host_, [this, update] { host_.ApplyRecordUpdate(update); });
      *next = end;
      return true;
    }
    case msgArchiveChunk: {
      ByteReader in(reply.substr(start));
      ArchiveChunkHeader chunk;
      if (!ReadArchiveChunkHeader(in, &chunk)) return false;
      const int64_t blocks = ArchiveChunkBlockBytes(chunk);
      if (blocks < 0 || static_cast<uint64_t>(blocks) > left - kArchiveChunkHeaderSize) return false;
      const std::string_view data =
          reply.substr(start + kArchiveChunkHeaderSize, static_cast<size_t>(blocks));
      OnMainThread(host_, [this, &chunk, data] { host_.ApplyArchiveChunk(chunk, data); });
      *next = start + kArchiveChunkHeaderSize + static_cast<size_t>(blocks);
      return true;
    }
    case msgServerSettings: {
      if (left < kServerSettingsSize) return false;
      const std::string_view block = reply.substr(start, kServerSettingsSize);
      OnMainThread(host_, [this, block] { host_.StoreServerSettings(block); });
      *next = start + kServerSettingsSize;
      return true;
    }
    case msgTableBlob: {
      // Skipped by its own length, accepted only from 4 to what remains.
      if (left < 4) return false;
      const int32_t own = DecodeI32(reply.data() + start);
      if (own < 4 || static_cast<uint64_t>(own) > left) return false;
      *next = start + static_cast<size_t>(own);
      return true;
    }
    case msgSnapshot: {
      size_t read = 0;
      const std::string_view rest = reply.substr(start);
      OnMainThread(host_, [this, rest, &read] { read = host_.LoadSnapshot(rest); });
      *next = start + std::min(read, rest.size());
      return true;
    }
    case msgContainer: {
      if (end > reply.size()) return false;
      TKSDataS container;
      container.LoadFromBytes(reply.substr(start, end - start));
      const std::string command = container.ReadText(0, 1, 0);
      // "Put_OSM" is the one command known by name; no command has an action.
      (void)(command == kContainerCommandPutOsm);
      *next = end;
      return true;
    }
    default:  // msgResourceText and every other type: skipped by length
      if (end > reply.size()) return false;
      *next = end;
      return true;
  }
}

}  // namespace korvel
