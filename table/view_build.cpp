// RebuildView: the view of visible records, with the filter, master/slave
// and sort options.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "platform/cp1251_case.h"
#include "table/ks_base_c.h"
#include "table/text_convert.h"

namespace korvel {

namespace {

// The 32-bit integer of record r in an integer column; 0 beyond it or for
// another storage.
int32_t IntegerAt(const FieldKSB* f, int32_t r) {
  if (!IsInt32Kind(f->kind())) return 0;
  const uint8_t* e = f->Entry(r);
  return e ? DecodeI32(e) : 0;
}

template <typename T>
bool Compare(uint8_t oper, const T& x, const T& c) {
  switch (oper) {
    case 0: return x == c;
    case 1: return x != c;
    case 2: return x < c;
    case 3: return x > c;
    case 4: return x <= c;
    default: return x >= c;
  }
}

bool TextModeMatch(uint8_t mode, const std::string& x, const std::string& c) {
  switch (mode) {
    case 0: return x.find(c) != std::string::npos;
    case 1: return x.size() >= c.size() && x.compare(x.size() - c.size(), c.size(), c) == 0;
    case 2: return x.size() >= c.size() && x.compare(0, c.size(), c) == 0;
    default: return x == c;
  }
}

// Kinds whose AsString has no text form: their sort key stays " ".
bool HasTextForm(uint8_t kind) {
  switch (kind) {
    case 10: case 12: case 14: case 18: case 19: case 20: return false;
    default: return IsValueKind(kind);
  }
}

}  // namespace

bool TKSBaseC::PassesFilter(int32_t r) {
  bool evaluated = false, any_failed = false, any_met = false;
  for (const auto& fp : fields_) {
    const FieldKSB* f = fp.get();
    const FieldCondition& c = f->condition();
    if (!c.active) continue;
    const uint8_t kind = f->kind();
    if (kind != kFieldInt32 && kind != kFieldText && kind != kFieldByte) continue;
    const uint8_t* e = f->Entry(r);
    bool met;
    if (kind == kFieldInt32) {
      met = Compare<int32_t>(c.oper, e ? DecodeI32(e) : 0, c.compare_integer);
    } else if (kind == kFieldByte) {
      met = Compare<uint8_t>(c.oper, e ? e[0] : 0, c.compare_byte);
    } else {
      const std::string x =
          e ? LowerCp1251(DecodeSlotText(e, f->entry_size())) : std::string();
      if (c.oper <= 1) {
        met = TextModeMatch(c.text_mode, x, c.compare_text);
        if (c.oper == 1) met = !met;
      } else {
        // Ordinal byte order.
        const int cmp = std::string_view(x).compare(c.compare_text);
        met = Compare<int>(c.oper, cmp, 0);
      }
    }
    evaluated = true;
    if (met) any_met = true; else any_failed = true;
  }
  if (!evaluated) return true;
  if (filter_oper_ == 0) return !any_failed;
  if (filter_oper_ == 1) return any_met;
  return true;
}

void TKSBaseC::RebuildView() {
  if (!ready_ || fields_.empty()) return;

  // Records are hidden by bit 0 of `p_d`. The second field is `p_d` in every
  // table the server defines; when it is not, the field of that name is
  // used, so a deletion notice (which marks `p_d`) always hides its record.
  const FieldKSB* hide = nullptr;
  if (fields_.size() > 1 && fields_[1]->name() == "p_d" && fields_[1]->kind() == kFieldByte) {
    hide = fields_[1].get();
  } else if (const FieldKSB* p_d = FindField("p_d"); p_d && p_d->kind() == kFieldByte) {
    hide = p_d;
  }
  const uint8_t* hide_column = hide ? hide->Entry(1) : nullptr;
  const size_t hide_rows = hide_column ? hide->rows() : 0;

  FieldKSB* sort_field = nullptr;
  if (sorted_) {
    sort_field = FindField(sort_);
    if (sort_field == nullptr) sorted_ = false;
  }

  bool use_master = false;
  int32_t master_value = 0;
  const FieldKSB* slave = nullptr;
  if (master_table_ != nullptr && master_table_->FieldExists(master_field_) &&
      FieldExists(slave_field_)) {
    use_master = true;
    master_value = AsInteger(master_table_->FieldByName(master_field_));
    slave = FindField(slave_field_);
  }

  const int32_t total = total_ > 0 ? total_ : 0;
  view_.resize(static_cast<size_t>(total));
  size_t visible = 0;
  std::vector<std::pair<std::string, int32_t>> keys;
  int32_t min_value = 1048575, max_value = -1048575;

  for (int32_t r = 1; r <= total; ++r) {
    if (static_cast<size_t>(r) <= hide_rows && (hide_column[r - 1] & 1)) continue;
    if (filtered_ && !PassesFilter(r)) continue;
    if (use_master && IntegerAt(slave, r) != master_value) continue;
    view_[visible++] = r;
    if (sort_field != nullptr) {
      std::string key = " ";
      access_record_ = r;
      if (sort_field->kind() == kFieldInt32) {
        const int32_t v = AsInteger(sort_field);
        min_value = std::min(min_value, v);
        max_value = std::max(max_value, v);
        key = std::to_string(v);
      } else if (HasTextForm(sort_field->kind())) {
        key = AsString(sort_field);
      }
      keys.emplace_back(std::move(key), r);
    }
  }

  if (sort_field != nullptr) {
    const uint8_t kind = sort_field->kind();
    if (kind != kFieldText && kind != kFieldDict16) {
      const size_t min_len = std::to_string(min_value).size();
      const size_t max_len = std::to_string(max_value).size();
      const size_t width = min_len > max_len ? min_len : max_len;
      for (auto& k : keys)
        if (k.first.size() < width) k.first.insert(0, width - k.first.size(), '0');
    }
    std::sort(keys.begin(), keys.end(), [](const auto& a, const auto& b) {
      const int c = table_text::CompareNoCase(a.first, b.first);
      return c != 0 ? c < 0 : a.second < b.second;
    });
    for (size_t i = 0; i < keys.size(); ++i) view_[i] = keys[i].second;
  }

  view_.resize(visible);
  count_ = static_cast<int32_t>(visible);
  if (visible == 0) access_record_ = -1;
  if (on_refresh_) on_refresh_(this);
}

}  // namespace korvel

