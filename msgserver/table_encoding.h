// Table messages on the server's side (layouts in table/table_format.h):
// snapshots and record updates of the server's tables, encoded with the
// table library's writers, and the decoding of the requests a workstation
// sends (insert, update, delete, dictionary code). Request entries are
// sized by the server's own field definitions: kinds 15 and 16 carry their
// text in a text-width slot, kind 24 a counted text of its own length, and
// a `SYSUSER` entry ends them.
//
// Pure functions; the table must not change during a call.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "msgserver/table_model.h"

namespace korvel::msgserver {

std::string EncodeSnapshot(const ServerTable& table);
// Record update carrying every field of the record at `index` and the
// table's current record count as the total.
std::string EncodeRecordUpdate(const ServerTable& table, int32_t index);

enum class RequestKind { kInsert, kUpdate, kDelete };

struct TableRequest {
  RequestKind kind = RequestKind::kInsert;
  std::string table;
  int32_t n_abs = 0;  // update and delete
  std::vector<IncomingValue> values;
  std::string sys_user;
  // Set when an entry named a field the table does not have: its size is
  // unknown, so reading stopped there and the entries after it are lost.
  std::string unknown_field;
};

// Decodes an insert or update request against the server's definition of
// the named table (entries are sized by the fields' kinds). False when the
// payload is too short for its table slot (and identity), or the table is
// unknown (`table` is still filled). Entries are read while whole ones
// remain; `SYSUSER` ends them.
bool DecodeEditRequest(std::string_view payload, bool is_update,
                       const std::vector<const ServerTable*>& tables, TableRequest* out);
// Decodes the 13-byte delete request (longer payloads: the rest is ignored).
bool DecodeDeleteRequest(std::string_view payload, TableRequest* out);

struct DictionaryCodeRequest {
  std::string table;
  std::string field;
  uint8_t kind = 0;
  uint8_t text_width = 0;
  uint8_t constant = 0;
  uint16_t code = 0;
};
bool DecodeDictionaryCode(std::string_view payload, DictionaryCodeRequest* out);

}  // namespace korvel::msgserver
