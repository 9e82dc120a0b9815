// Typed setters of FieldKSB: they fill the edit buffer while the owning
// table is editing, converting by kind; the modified mark is set first,
// whatever the kind.
#include <algorithm>
#include <cmath>

#include "platform/cp1251_case.h"
#include "platform/date_time.h"
#include "table/ks_base_c.h"
#include "table/text_convert.h"

namespace korvel {

namespace {

// The edit buffer to write, with the mark set; nullptr when the field is
// missing or its table is not editing.
EditBuffer* Begin(FieldKSB* f) {
  if (f == nullptr || !f->owner()->IsEditing()) return nullptr;
  EditBuffer& e = f->edit();
  e.modified = f->kind();
  return &e;
}

std::string Cut255(std::string_view text) {
  return std::string(text.substr(0, std::min<size_t>(text.size(), 255)));
}

// Kinds 15 and 16: the pending text, and the code of the first entry whose
// text equals it ignoring case (then the entry's own text).
void SetDictionaryText(FieldKSB* f, EditBuffer* e, std::string_view text) {
  const bool wide = f->kind() == kFieldDict16;
  if (wide) e->word = 0; else e->byte = 0;
  e->text = Cut255(text);
  if (text.empty()) return;
  const std::string wanted = LowerCp1251(text);
  const auto& keys = f->dictionary_keys();
  const auto& texts = f->dictionary_texts();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (LowerCp1251(texts[i]) != wanted) continue;
    if (wide) e->word = static_cast<uint16_t>(keys[i]);
    else e->byte = static_cast<uint8_t>(keys[i]);
    e->text = texts[i];
    return;
  }
}

}  // namespace

void SetAsInteger(FieldKSB* f, int32_t p) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  switch (f->kind()) {
    case kFieldInt32:
    case kFieldHex: e->integer = p; break;
    case kFieldText: e->text = std::to_string(p); break;
    case kFieldByte: e->byte = (p < 0 || p > 255) ? 255 : static_cast<uint8_t>(p); break;
    case kFieldBoolean: e->boolean = p == 1; break;
    case kFieldWord: e->word = (p < 0 || p > 65535) ? 65535 : static_cast<uint16_t>(p); break;
    case kFieldSingle: e->single = static_cast<float>(p); break;
    case kFieldDouble: e->dbl = p; break;
    case kFieldUInt32:
    case kFieldSeconds2000: e->u32 = p < 0 ? 0 : static_cast<uint32_t>(p); break;
    case kFieldDateTime: e->date_time = p; break;
    default: break;  // mark only
  }
}

void SetAsInt64(FieldKSB* f, int64_t p) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  switch (f->kind()) {
    case kFieldInt32: e->integer = static_cast<int32_t>(static_cast<uint32_t>(p)); break;
    case kFieldText: e->text = std::to_string(p); break;
    case kFieldByte: e->byte = static_cast<uint8_t>(std::clamp<int64_t>(p, 0, 255)); break;
    case kFieldBoolean: e->boolean = p == 1; break;
    case kFieldWord: e->word = static_cast<uint16_t>(std::clamp<int64_t>(p, 0, 65535)); break;
    case kFieldSingle: e->single = static_cast<float>(p); break;
    case kFieldDouble: e->dbl = static_cast<double>(p); break;
    case kFieldUInt32:
    case kFieldSeconds2000: e->u32 = static_cast<uint32_t>(p); break;
    case kFieldDateTime: e->date_time = static_cast<double>(p); break;
    case kFieldInt64: e->int64 = p; break;
    default: break;
  }
}

void SetAsBoolean(FieldKSB* f, bool v) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  switch (f->kind()) {
    case kFieldInt32: e->integer = v ? 1 : 0; break;
    case kFieldText: e->text.assign(1, v ? 'T' : 'F'); break;
    case kFieldByte: e->byte = v ? 1 : 0; break;
    case kFieldBoolean: e->boolean = v; break;
    default: break;
  }
}

void SetAsString(FieldKSB* f, std::string_view text) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  switch (f->kind()) {
    case kFieldInt32: e->integer = table_text::ParseInt32Or0(text); break;
    case kFieldText:
    case kFieldHeap: e->text = Cut255(text); break;
    case kFieldByte: e->byte = static_cast<uint8_t>(table_text::ParseInt32Or0(text)); break;
    case kFieldBoolean: e->boolean = text == "T"; break;
    case kFieldWord: e->word = static_cast<uint16_t>(table_text::ParseInt32Or0(text)); break;
    case kFieldSingle: {
      double v = 0;
      const bool parsed = table_text::ParseDouble(text, &v);
      e->single = parsed && std::fabs(v) <= 3.4028234663852886e38 ? static_cast<float>(v)
                  : parsed ? (v > 0 ? INFINITY : -INFINITY) : 0.0f;
      break;
    }
    case kFieldDouble: {
      double v = 0;
      if (table_text::ParseDouble(text, &v)) e->dbl = v;
      else e->modified = 0;  // an unreadable text drops the assignment
      break;
    }
    case kFieldUInt32:
      e->u32 = static_cast<uint32_t>(table_text::ParseInt32Or0(text));
      break;
    case kFieldDateTime: {
      DateTime t = 0;
      e->date_time = ParseTimeOfDay(std::string(text), &t) ? t : 0;
      break;
    }
    case kFieldDict16:
    case kFieldDict8: SetDictionaryText(f, e, text); break;
    default: break;
  }
}

void SetAsDateTime(FieldKSB* f, DateTime x) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  if (f->kind() == kFieldDateTime) {
    e->date_time = x;
    e->date_part = std::trunc(x);
    e->time_part = x - std::trunc(x);
  } else if (f->kind() == kFieldSeconds2000) {
    e->u32 = Seconds2000FromDateTime(x);
  }
}

void SetDatePart(FieldKSB* f, DateTime x) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  if (f->kind() == kFieldDateTime) {
    e->date_part = x;
    e->date_time = std::trunc(x) + (e->time_part - std::trunc(e->time_part));
  } else if (f->kind() == kFieldSeconds2000) {
    e->u32 = Seconds2000FromDateTime(DatePart(x));
  }
}

void SetTimePart(FieldKSB* f, DateTime x) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  if (f->kind() == kFieldDateTime) {
    e->time_part = x;
    e->date_time = (x - std::trunc(x)) + std::trunc(e->date_part);
  } else if (f->kind() == kFieldSeconds2000) {
    e->u32 = Seconds2000FromDateTime(kDays1899To2000 + TimePart(x));
  }
}

void SetAsBytes(FieldKSB* f, std::string_view block) {
  EditBuffer* e = Begin(f);
  if (e == nullptr) return;
  if ((f->kind() == kFieldBlock || f->kind() == kFieldFlags) && f->entry_size() > 0) {
    e->block.assign(block.substr(0, std::min(block.size(), f->entry_size())));
    e->block.resize(f->entry_size(), '\0');
  }
}

void SetFilterText(FieldKSB* f, std::string_view text) {
  if (f == nullptr) return;
  FieldCondition& c = f->condition();
  c.text.assign(text);
  c.active = !text.empty();
  c.compare_text = LowerCp1251(text);
  c.compare_integer = table_text::ParseInt32Or0(text);
  c.compare_byte = static_cast<uint8_t>(c.compare_integer);
}

void SetFilterMode(FieldKSB* f, uint8_t oper, uint8_t text_mode) {
  if (f == nullptr) return;
  if (oper <= 5) f->condition().oper = oper;
  if (text_mode <= 3) f->condition().text_mode = text_mode;
}

}  // namespace korvel
