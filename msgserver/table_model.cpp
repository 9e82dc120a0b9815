#include "msgserver/table_model.h"

#include <algorithm>
#include <utility>

namespace korvel::msgserver {

FieldValue BlankValue(const FieldDescriptor& field) {
  FieldValue v;
  if (field.kind == kFieldBlock || field.kind == kFieldFlags) {
    v.bytes.assign(static_cast<size_t>(std::max(field.width, 0)), '\0');
  } else if (field.kind == kFieldTextList) {
    v.texts.assign(static_cast<size_t>(std::max(field.width, 0)), std::string());
  }
  return v;
}

ServerTable::ServerTable(std::string name, std::vector<FieldDescriptor> fields)
    : name_(std::move(name)), fields_(std::move(fields)) {
  dicts_.resize(fields_.size());
  // Offset 0 of every heap holds an empty counted text, so an empty value
  // never needs heap space.
  heaps_.assign(fields_.size(), std::string(1, '\0'));
}

int ServerTable::FieldIndex(const std::string& name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

int32_t ServerTable::FindRecord(int32_t n_abs) const {
  for (size_t i = 0; i < records_.size(); ++i) {
    if (records_[i][0].number == n_abs) return static_cast<int32_t>(i);
  }
  return -1;
}

bool ServerTable::IsDeleted(int32_t index) const {
  return (records_[index][1].number & 1) != 0;
}

void ServerTable::AddDictionaryEntry(size_t field, uint32_t key, const std::string& text) {
  auto& dict = dicts_[field];
  for (auto& e : dict) {
    if (e.key == key) {
      e.text = text;
      return;
    }
  }
  dict.push_back({text, key});
}

int32_t ServerTable::Insert(const std::vector<IncomingValue>& values, bool keep_n_abs) {
  std::vector<FieldValue> rec;
  rec.reserve(fields_.size());
  for (const auto& f : fields_) rec.push_back(BlankValue(f));
  records_.push_back(std::move(rec));
  const auto index = static_cast<int32_t>(records_.size() - 1);
  int32_t n_abs = next_n_abs_;
  for (const auto& v : values) {
    if (v.field == fields_[0].name) {
      if (keep_n_abs) n_abs = static_cast<int32_t>(v.value.number);
      continue;
    }
    Assign(index, v);
  }
  records_[index][0].number = n_abs;
  if (n_abs >= next_n_abs_) next_n_abs_ = n_abs + 1;
  return index;
}

int32_t ServerTable::Update(int32_t n_abs, const std::vector<IncomingValue>& values) {
  const int32_t index = FindRecord(n_abs);
  if (index < 0) return -1;
  for (const auto& v : values) {
    if (v.field == fields_[0].name) continue;  // identities belong to the server
    Assign(index, v);
  }
  return index;
}

int32_t ServerTable::MarkDeleted(int32_t n_abs) {
  const int32_t index = FindRecord(n_abs);
  if (index < 0 || IsDeleted(index)) return -1;
  records_[index][1].number |= 1;
  return index;
}

int ServerTable::Compact() {
  std::vector<std::vector<FieldValue>> kept;
  // Heap texts are re-stored so that dropped records free their space.
  std::vector<std::vector<std::string>> heap_texts(fields_.size());
  int dropped = 0;
  for (size_t r = 0; r < records_.size(); ++r) {
    if (records_[r][1].number & 1) {
      ++dropped;
      continue;
    }
    for (size_t f = 0; f < fields_.size(); ++f) {
      if (fields_[f].kind == kFieldHeap) heap_texts[f].push_back(ResolvedText(f, records_[r][f]));
    }
    kept.push_back(std::move(records_[r]));
  }
  records_ = std::move(kept);
  for (size_t f = 0; f < fields_.size(); ++f) {
    if (fields_[f].kind != kFieldHeap) continue;
    heaps_[f].assign(1, '\0');
    for (size_t r = 0; r < records_.size(); ++r) {
      records_[r][f].number = StoreHeapText(f, heap_texts[f][r]);
    }
  }
  return dropped;
}

std::string ServerTable::ResolvedText(size_t field, const FieldValue& value) const {
  const uint8_t kind = fields_[field].kind;
  if (kind == kFieldDict16 || kind == kFieldDict8) {
    if (value.number == 0) return {};
    for (const auto& e : dicts_[field]) {
      if (e.key == static_cast<uint32_t>(value.number)) return e.text;
    }
    return {};
  }
  if (kind == kFieldHeap) {
    const std::string& heap = heaps_[field];
    if (value.number < 0 || static_cast<size_t>(value.number) >= heap.size()) return {};
    const auto at = static_cast<size_t>(value.number);
    const size_t n = std::min<size_t>(static_cast<uint8_t>(heap[at]), heap.size() - at - 1);
    return heap.substr(at + 1, n);
  }
  return {};
}

void ServerTable::Assign(int32_t index, const IncomingValue& v) {
  const int fi = FieldIndex(v.field);
  if (fi < 0) return;
  const auto f = static_cast<size_t>(fi);
  const FieldDescriptor& def = fields_[f];
  FieldValue& slot = records_[index][f];
  switch (def.kind) {
    case kFieldDict16:
    case kFieldDict8:
      slot.number = CodeForText(f, v.text);
      break;
    case kFieldHeap:
      slot.number = StoreHeapText(f, v.text);
      break;
    case kFieldText: {
      const size_t cap = def.width > 0 ? static_cast<size_t>(def.width - 1) : 0;
      slot.bytes = v.value.bytes.substr(0, std::min<size_t>(cap, 255));
      break;
    }
    case kFieldBlock:
    case kFieldFlags:
      slot.bytes = v.value.bytes;
      slot.bytes.resize(static_cast<size_t>(std::max(def.width, 0)), '\0');
      break;
    case kFieldTextList: {
      slot.texts = v.value.texts;
      slot.texts.resize(static_cast<size_t>(std::max(def.width, 0)));
      const size_t cap = def.text_width > 0 ? static_cast<size_t>(def.text_width - 1) : 0;
      for (auto& t : slot.texts) t.resize(std::min({t.size(), cap, size_t{255}}));
      break;
    }
    default:
      slot = v.value;
      break;
  }
}

uint32_t ServerTable::CodeForText(size_t field, const std::string& text) {
  if (text.empty()) return 0;
  auto& dict = dicts_[field];
  uint32_t max_key = 0;
  for (const auto& e : dict) {
    if (e.text == text) return e.key;
    max_key = std::max(max_key, e.key);
  }
  const uint32_t limit = fields_[field].kind == kFieldDict8 ? 0xFF : 0xFFFF;
  uint32_t key = max_key + 1;
  if (key > limit) {
    // Codes run out at the top: take the lowest free one, if any.
    key = 0;
    for (uint32_t k = 1; k <= limit; ++k) {
      if (std::none_of(dict.begin(), dict.end(), [k](const auto& e) { return e.key == k; })) {
        key = k;
        break;
      }
    }
    if (key == 0) return 0;
  }
  dict.push_back({text, key});
  return key;
}

int64_t ServerTable::StoreHeapText(size_t field, const std::string& text) {
  if (text.empty()) return 0;
  std::string& heap = heaps_[field];
  const auto at = static_cast<int64_t>(heap.size());
  const size_t n = std::min<size_t>(text.size(), 255);
  heap.push_back(static_cast<char>(n));
  heap.append(text, 0, n);
  return at;
}

}  // namespace korvel::msgserver
