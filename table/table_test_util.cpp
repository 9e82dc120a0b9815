#include "table/table_test_util.h"

#include "table/table_registry.h"

namespace korvel::testing {

FieldDescriptor Desc(std::string name, uint8_t kind, int32_t width, int32_t text_width) {
  FieldDescriptor d;
  d.name = std::move(name);
  d.kind = kind;
  d.width = width >= 0 ? width : FixedKindSize(kind);
  d.text_width = text_width;
  return d;
}

TableValue Num(int64_t v) {
  TableValue t;
  t.number = v;
  return t;
}
TableValue Real(double v) {
  TableValue t;
  t.real = v;
  return t;
}
TableValue Text(std::string v) {
  TableValue t;
  t.bytes = std::move(v);
  return t;
}

SnapshotField Column(FieldDescriptor d, std::vector<TableValue> values) {
  SnapshotField f;
  f.descriptor = std::move(d);
  f.values = std::move(values);
  return f;
}

SnapshotTable MakeTable(std::string name, int32_t records, std::vector<SnapshotField> more) {
  SnapshotTable t;
  t.name = std::move(name);
  t.records = records;
  std::vector<TableValue> ids, flags;
  for (int32_t i = 1; i <= records; ++i) {
    ids.push_back(Num(i));
    flags.push_back(Num(0));
  }
  t.fields.push_back(Column(Desc("n_abs", kFieldInt32), ids));
  t.fields.push_back(Column(Desc("p_d", kFieldByte), flags));
  for (auto& f : more) t.fields.push_back(std::move(f));
  return t;
}

void Load(TKSBaseC* table, const SnapshotTable& snapshot) {
  const std::string payload = WriteSnapshot(snapshot);
  size_t read = 0;
  bool complete = false;
  LoadSnapshotInto(table, payload, &read, &complete);
  table->SetNameTable(snapshot.name);
  table->RebuildView();
}

void RecordSends(TKSBaseC* table, std::vector<SentMessage>* sent) {
  table->SetOnNetDataSend([sent](TKSBaseC*, int32_t command, const uint8_t* data, int32_t size) {
    sent->push_back({command, std::string(reinterpret_cast<const char*>(data), size)});
  });
}

}  // namespace korvel::testing
