#include "fuzz_common.h"

#include <algorithm>

#include "table/snapshot_writer.h"

namespace korvel::fuzz {

namespace {
FieldDescriptor Desc(const char* name, uint8_t kind, int32_t width, int32_t text_width = 0) {
  FieldDescriptor d;
  d.name = name;
  d.kind = kind;
  d.width = width;
  d.text_width = text_width;
  return d;
}
}  // namespace

std::string AllKindsSnapshot() {
  SnapshotTable t;
  t.name = "t";
  t.records = 3;
  const FieldDescriptor descs[] = {
      Desc("n_abs", 1, 4), Desc("p_d", 3, 1),     Desc("s", 2, 12),     Desc("l", 4, 1),
      Desc("w", 5, 2),     Desc("f", 6, 4),       Desc("d", 7, 8),      Desc("u", 8, 4),
      Desc("dt", 9, 8),    Desc("i10", 10, 4),    Desc("blk", 11, 3),   Desc("i13", 13, 8),
      Desc("d15", 15, 2, 8), Desc("d16", 16, 1, 8), Desc("odd", 17, 0), Desc("ch", 18, 1),
      Desc("hex", 21, 4),  Desc("flg", 22, 2),    Desc("lst", 23, 2, 6), Desc("h", 24, 0),
      Desc("sec", 25, 4),  Desc("r_dt", 8, 4)};
  for (const FieldDescriptor& d : descs) {
    SnapshotField f;
    f.descriptor = d;
    for (int r = 0; r < 3; ++r) {
      TableValue v;
      v.number = d.name == "n_abs" ? r + 1 : (d.name == "p_d" ? 0 : r * 37 + 1);
      v.real = 36526.5 + r;
      v.bytes = "v" + std::to_string(r);
      v.texts = {"a", "bc"};
      f.values.push_back(v);
    }
    if (d.kind == 15 || d.kind == 16) f.dictionary = {{"one", 1}, {"x", 38}};
    if (d.kind == 24) {
      f.heap = std::string("\x02" "12\x03" "abc", 7);
      f.values[1].number = 3;
      f.values[2].number = 6;
    }
    t.fields.push_back(std::move(f));
  }
  return WriteSnapshot(t);
}

void ExerciseTable(TKSBaseC* t) {
  const int32_t records = std::min(t->Count(), 8);
  const int32_t fields = std::min(t->FieldCount(), 40);
  for (int32_t p = 0; p <= records + 1; ++p) {
    for (int32_t k = 0; k < fields; ++k) {
      const std::string name = t->Field(k)->name();
      FieldKSB* f = t->FieldOfRecord(name, p);
      bool ok = false;
      (void)AsInteger(f, &ok);
      (void)AsBoolean(f);
      (void)AsFloat(f, &ok);
      (void)AsDateTime(f);
      (void)AsBytes(f);
      (void)AsString(f);
    }
  }
  // Physical reads beyond the view, including records past the columns.
  for (int32_t k = 1; k <= fields; ++k) {
    (void)AsString(t->FieldOfPhysical(k, t->TotalRecords()));
    (void)AsString(t->FieldOfPhysical(k, t->TotalRecords() + 1));
  }
  if (t->TotalRecords() <= 1000) {
    for (int32_t k = 0; k < std::min(fields, 6); ++k) {
      t->SetSort(t->Field(k)->name());
      t->SetSorted(true);
    }
    t->SetSorted(false);
    for (int32_t k = 0; k < std::min(fields, 6); ++k) SetFilterText(t->Field(k), "1");
    t->SetFilterOper(1);
    t->SetFiltered(true);
    t->SetFiltered(false);
  }
  t->First();
  t->Edit();
  for (int32_t k = 0; k < fields; ++k) {
    FieldKSB* f = t->Field(k);
    SetAsString(f, "x1");
    SetAsInteger(f, -1);
    SetAsDateTime(f, 1.5);
    SetAsBytes(f, "abc");
  }
  t->Post();
  t->Delete();
  t->SendDictionaryCode("d15", 3);
}

}  // namespace korvel::fuzz
