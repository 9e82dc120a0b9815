// The seed file: the tables the server offers and the first content of its
// settings block, as JSON (UTF-8).
//
//   {
//     "settings": {"386": 32},          // optional: byte offset -> value
//     "tables": [
//       {
//         "name": "video",              // identifier, at most 8 bytes
//         "fields": [
//           {"name": "n_abs", "kind": 1},          // always first
//           {"name": "p_d",   "kind": 3},          // always second
//           {"name": "ip",    "kind": 2, "width": 33},
//           {"name": "state", "kind": 16, "text_width": 32,
//            "dictionary": {"1": "норма", "2": "авария"}},
//           ...
//         ],
//         "records": [ {"n_abs": 1, "ip": "127.0.0.1", ...}, ... ]
//       }
//     ]
//   }
//
// Field members: "name" (at most 15 bytes in Windows-1251), "kind" (1..25
// but 17), "width" (fixed kinds: ignored, the kind's size is used; kind 2:
// the text slot, length byte included, 2..256, default 65; kinds 11 and 22:
// bytes per record, default 8; kind 23: texts per record, default 4),
// "text_width" (kinds 15, 16, 23: slot of each text, 2..256, default 33),
// "tag" (default 0), "dictionary" (kinds 15 and 16: key -> text).
// Records give values in the forms of value_json.h; a record without
// "n_abs" gets the next free identity.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "msgserver/table_model.h"

namespace korvel::msgserver {

inline constexpr size_t kSettingsBlockSize = 512;
using SettingsBlock = std::array<uint8_t, kSettingsBlockSize>;

struct SeedData {
  std::vector<ServerTable> tables;
  SettingsBlock settings{};
};

// Parses seed JSON. False with *error naming the first problem.
bool ParseSeed(const nlohmann::json& root, SeedData* out, std::string* error);
// Reads and parses a seed file.
bool LoadSeedFile(const std::string& path, SeedData* out, std::string* error);

// Parses one field definition (the seed's form); used by ParseSeed.
bool FieldDefFromJson(const nlohmann::json& j, FieldDescriptor* out, std::string* error);

// Applies {"offset": value, ...} (offsets 0..511, values 0..255) to a
// settings block. False with *error on a bad offset or value; the block is
// then unchanged.
bool ApplySettingsBytes(const nlohmann::json& obj, SettingsBlock* block, std::string* error);

}  // namespace korvel::msgserver
