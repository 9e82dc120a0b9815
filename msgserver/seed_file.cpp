#include "msgserver/seed_file.h"

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

#include "msgserver/value_json.h"
#include "platform/codepage.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

bool IsIdentifier(const std::string& s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  }
  return true;
}

bool IntMember(const json& j, const char* key, int64_t def, int64_t lo, int64_t hi, int64_t* out,
               std::string* error) {
  if (!j.contains(key)) {
    *out = def;
    return true;
  }
  const json& v = j.at(key);
  if (!v.is_number_integer() || v.get<int64_t>() < lo || v.get<int64_t>() > hi) {
    *error = std::string("\"") + key + "\" must be an integer from " + std::to_string(lo) +
             " to " + std::to_string(hi);
    return false;
  }
  *out = v.get<int64_t>();
  return true;
}

bool ParseTable(const json& jt, ServerTable* out, std::string* error) {
  if (!jt.is_object() || !jt.contains("name") || !jt.at("name").is_string()) {
    *error = "a table needs a \"name\"";
    return false;
  }
  const std::string name = Utf8ToCp1251(jt.at("name").get<std::string>());
  if (!IsIdentifier(name) || name.size() > 8) {
    *error = "table name \"" + jt.at("name").get<std::string>() +
             "\" must be an identifier of at most 8 characters";
    return false;
  }
  const std::string where = "table " + name + ": ";
  if (!jt.contains("fields") || !jt.at("fields").is_array()) {
    *error = where + "needs a \"fields\" array";
    return false;
  }
  std::vector<FieldDescriptor> fields;
  std::set<std::string> names;
  for (const auto& jf : jt.at("fields")) {
    FieldDescriptor f;
    if (!FieldDefFromJson(jf, &f, error)) {
      *error = where + *error;
      return false;
    }
    if (!names.insert(f.name).second) {
      *error = where + "field " + Cp1251ToUtf8(f.name) + " is defined twice";
      return false;
    }
    fields.push_back(f);
  }
  if (fields.size() < 2 || fields[0].name != "n_abs" || fields[0].kind != kFieldInt32 ||
      fields[1].name != "p_d" || fields[1].kind != kFieldByte) {
    *error = where + "the first field must be n_abs (kind 1) and the second p_d (kind 3)";
    return false;
  }
  ServerTable table(name, fields);
  for (size_t fi = 0; fi < fields.size(); ++fi) {
    const json& jf = jt.at("fields")[fi];
    if (!jf.contains("dictionary")) continue;
    if ((fields[fi].kind != kFieldDict16 && fields[fi].kind != kFieldDict8) ||
        !jf.at("dictionary").is_object()) {
      *error = where + "only fields of kind 15 or 16 take a \"dictionary\" object";
      return false;
    }
    const uint32_t limit = fields[fi].kind == kFieldDict8 ? 0xFF : 0xFFFF;
    for (auto it = jf.at("dictionary").begin(); it != jf.at("dictionary").end(); ++it) {
      char* end = nullptr;
      const unsigned long key = std::strtoul(it.key().c_str(), &end, 10);
      if (it.key().empty() || *end != '\0' || key == 0 || key > limit || !it.value().is_string()) {
        *error = where + "dictionary keys must be numbers 1.." + std::to_string(limit) +
                 " with string texts";
        return false;
      }
      table.AddDictionaryEntry(fi, static_cast<uint32_t>(key),
                               Utf8ToCp1251(it.value().get<std::string>()));
    }
  }
  if (jt.contains("records")) {
    if (!jt.at("records").is_array()) {
      *error = where + "\"records\" must be an array";
      return false;
    }
    std::set<int64_t> ids;
    for (const auto& jr : jt.at("records")) {
      std::vector<IncomingValue> values;
      if (!RecordValuesFromJson(table, jr, &values, error)) {
        *error = where + *error;
        return false;
      }
      const bool has_id = jr.contains("n_abs");
      if (has_id) {
        for (const auto& v : values) {
          if (v.field == "n_abs" && (v.value.number <= 0 || v.value.number > INT32_MAX ||
                                     !ids.insert(v.value.number).second)) {
            *error = where + "n_abs " + std::to_string(v.value.number) +
                     " is not a free positive identity";
            return false;
          }
        }
      }
      const int32_t index = table.Insert(values, has_id);
      ids.insert(table.record(index)[0].number);
    }
  }
  *out = std::move(table);
  return true;
}

}  // namespace

bool FieldDefFromJson(const json& jf, FieldDescriptor* f, std::string* error) {
  if (!jf.is_object() || !jf.contains("name") || !jf.at("name").is_string()) {
    *error = "a field needs a \"name\"";
    return false;
  }
  f->name = Utf8ToCp1251(jf.at("name").get<std::string>());
  if (f->name.empty() || f->name.size() > 15) {
    *error = "field name \"" + jf.at("name").get<std::string>() + "\" must have 1 to 15 bytes";
    return false;
  }
  const std::string where = "field " + jf.at("name").get<std::string>() + ": ";
  int64_t kind = 0, width = 0, text_width = 0, tag = 0;
  if (!jf.contains("kind") || !IntMember(jf, "kind", 0, 1, 25, &kind, error) ||
      !IsValueKind(static_cast<uint8_t>(kind))) {
    *error = where + "\"kind\" must be a field kind 1..25 other than 17";
    return false;
  }
  f->kind = static_cast<uint8_t>(kind);
  if (!IntMember(jf, "tag", 0, INT32_MIN, INT32_MAX, &tag, error)) {
    *error = where + *error;
    return false;
  }
  f->tag = static_cast<int32_t>(tag);
  bool ok = true;
  switch (f->kind) {
    case kFieldText:
      ok = IntMember(jf, "width", 65, 2, 256, &width, error);
      break;
    case kFieldBlock:
    case kFieldFlags:
      ok = IntMember(jf, "width", 8, 1, 4096, &width, error);
      break;
    case kFieldTextList:
      ok = IntMember(jf, "width", 4, 1, 256, &width, error) &&
           IntMember(jf, "text_width", 33, 2, 256, &text_width, error);
      break;
    case kFieldDict16:
    case kFieldDict8:
      width = FixedKindSize(f->kind);
      ok = IntMember(jf, "text_width", 33, 2, 256, &text_width, error);
      break;
    case kFieldHeap:
      width = 4;
      break;
    default:
      width = FixedKindSize(f->kind);
      break;
  }
  if (!ok) {
    *error = where + *error;
    return false;
  }
  f->width = static_cast<int32_t>(width);
  f->text_width = static_cast<int32_t>(text_width);
  return true;
}

bool ApplySettingsBytes(const json& obj, SettingsBlock* block, std::string* error) {
  if (!obj.is_object()) {
    *error = "settings must be an object {\"offset\": value}";
    return false;
  }
  SettingsBlock copy = *block;
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    char* end = nullptr;
    const unsigned long off = std::strtoul(it.key().c_str(), &end, 10);
    if (it.key().empty() || *end != '\0' || off >= kSettingsBlockSize) {
      *error = "settings offset \"" + it.key() + "\" must be 0..511";
      return false;
    }
    if (!it.value().is_number_integer() || it.value().get<int64_t>() < 0 ||
        it.value().get<int64_t>() > 255) {
      *error = "settings byte " + it.key() + " must be 0..255";
      return false;
    }
    copy[off] = static_cast<uint8_t>(it.value().get<int64_t>());
  }
  *block = copy;
  return true;
}

bool ParseSeed(const json& root, SeedData* out, std::string* error) {
  *out = SeedData{};
  if (!root.is_object()) {
    *error = "the seed must be a JSON object";
    return false;
  }
  if (root.contains("settings") && !ApplySettingsBytes(root.at("settings"), &out->settings, error)) {
    return false;
  }
  if (!root.contains("tables") || !root.at("tables").is_array()) {
    *error = "the seed needs a \"tables\" array";
    return false;
  }
  std::set<std::string> names;
  for (const auto& jt : root.at("tables")) {
    ServerTable table("", {});
    if (!ParseTable(jt, &table, error)) return false;
    if (!names.insert(table.name()).second) {
      *error = "table " + table.name() + " is defined twice";
      return false;
    }
    out->tables.push_back(std::move(table));
  }
  return true;
}

bool LoadSeedFile(const std::string& path, SeedData* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read seed file " + path;
    return false;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  const json root = json::parse(ss.str(), nullptr, false, true);
  if (root.is_discarded()) {
    *error = "seed file " + path + " is not valid JSON";
    return false;
  }
  if (!ParseSeed(root, out, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace korvel::msgserver
