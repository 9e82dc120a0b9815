// TKSBaseC: structure, properties, selection and field lookups.
#include "table/ks_base_c.h"

namespace korvel {

TKSBaseC::TKSBaseC() = default;
TKSBaseC::~TKSBaseC() = default;

void TKSBaseC::SetSorted(bool v) {
  sorted_ = v;
  RebuildView();
}

void TKSBaseC::SetFiltered(bool v) {
  filtered_ = v;
  RebuildView();
}

void TKSBaseC::SetMasterTable(TKSBaseC* t) {
  master_table_ = t;
  RebuildView();
}

void TKSBaseC::SetMasterField(std::string v) {
  master_field_ = std::move(v);
  RebuildView();
}

void TKSBaseC::SetSlaveField(std::string v) {
  slave_field_ = std::move(v);
  RebuildView();
}

void TKSBaseC::SetCount(int32_t v) {
  total_ = v;
  count_ = v;
}

int32_t TKSBaseC::RecordIndex() {
  if (current_position_ == 0) current_position_ = 1;
  return current_position_;
}

void TKSBaseC::SetRecordIndex(int32_t v) {
  if (editing_ || view_.empty()) return;
  const int32_t position = v < 1 ? 1 : v;
  // A position beyond the view keeps the selection.
  if (static_cast<size_t>(position) > view_.size()) return;
  current_position_ = position;
  current_record_ = view_[position - 1];
}

void TKSBaseC::SetFlagRefresh(bool v) {
  if (ready_) flag_refresh_ = v;
}

int32_t TKSBaseC::ViewEntry(int32_t position) const {
  if (position < 1 || static_cast<size_t>(position) > view_.size()) return 0;
  return view_[position - 1];
}

void TKSBaseC::First() {
  if (view_.empty()) return;
  current_position_ = 1;
  current_record_ = view_[0];
  access_record_ = view_[0];
}

int32_t TKSBaseC::AddField(const FieldDescriptor& d) {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i]->name() == d.name) return static_cast<int32_t>(i);
  fields_.push_back(std::make_unique<FieldKSB>(this, d));
  return static_cast<int32_t>(fields_.size()) - 1;
}

void TKSBaseC::ClearStructure() {
  total_ = 0;
  count_ = 0;
  fields_.clear();
}

FieldKSB* TKSBaseC::Field(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= fields_.size()) return nullptr;
  return fields_[index].get();
}

FieldKSB* TKSBaseC::FindField(std::string_view name) const {
  for (const auto& f : fields_)
    if (f->name() == name) return f.get();
  return nullptr;
}

FieldKSB* TKSBaseC::FieldByName(std::string_view name) {
  if (!view_.empty()) access_record_ = current_record_;
  return FindField(name);
}

FieldKSB* TKSBaseC::FieldOfRecord(std::string_view name, int32_t position) {
  if (position >= 1 && position <= count_ && static_cast<size_t>(position) <= view_.size())
    access_record_ = view_[position - 1];
  return FindField(name);
}

FieldKSB* TKSBaseC::FieldOfPhysical(int32_t field_number, int32_t record) {
  access_record_ = record;
  if (field_number < 1 || static_cast<size_t>(field_number) > fields_.size()) return nullptr;
  return fields_[field_number - 1].get();
}

uint8_t TKSBaseC::FieldKind(std::string_view name) const {
  const FieldKSB* f = FindField(name);
  return f ? f->kind() : 0;
}

int32_t TKSBaseC::FieldWidth(std::string_view name) const {
  const FieldKSB* f = FindField(name);
  return f ? f->width() : 0;
}

int32_t TKSBaseC::FieldTextWidth(std::string_view name) const {
  const FieldKSB* f = FindField(name);
  return f ? f->text_width() : 0;
}

bool TKSBaseC::FieldExists(std::string_view name) const { return FindField(name) != nullptr; }

void TKSBaseC::GetDictionary(std::string_view name, std::vector<DictionaryLine>* list) const {
  list->clear();
  const FieldKSB* f = FindField(name);
  if (f == nullptr || (f->kind() != kFieldDict16 && f->kind() != kFieldDict8)) return;
  for (size_t i = 0; i < f->dictionary_keys().size(); ++i)
    list->push_back({f->dictionary_texts()[i], f->dictionary_keys()[i]});
}

int32_t TKSBaseC::IdentityRows() const {
  if (fields_.empty() || !IsInt32Kind(fields_[0]->kind())) return 0;
  return static_cast<int32_t>(fields_[0]->rows());
}

int64_t TKSBaseC::BytesPerRecord() const {
  int64_t bytes = 0;
  for (const auto& f : fields_) bytes += static_cast<int64_t>(f->entry_size());
  return bytes;
}

}  // namespace korvel
