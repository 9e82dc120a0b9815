// Speed of the table engine on a camera table of 100,000 records.
//
// Targets: the snapshot load at most 10x the memcpy of its payload; one
// record update under 1 us; a plain rebuild of 100,000 records under 2 ms.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "table/record_update_writer.h"
#include "table/snapshot_writer.h"
#include "table/table_registry.h"

namespace korvel {
namespace {

constexpr int32_t kRecords = 100'000;

FieldDescriptor Desc(const char* name, uint8_t kind, int32_t width = 0) {
  FieldDescriptor d;
  d.name = name;
  d.kind = kind;
  d.width = width > 0 ? width : FixedKindSize(kind);
  return d;
}

// 12 fields of kinds 1, 2, 3, 9 and 25, texts of widths 16..64.
std::vector<FieldDescriptor> CameraFields() {
  return {Desc("n_abs", 1),     Desc("p_d", 3),      Desc("n_obj", 1),   Desc("name", 2, 32),
          Desc("ip", 2, 16),    Desc("port", 1),     Desc("url", 2, 64), Desc("nameobj", 2, 48),
          Desc("lasttime", 9),  Desc("ltime", 25),   Desc("mesto", 3),   Desc("comment", 2, 24)};
}

TableValue ValueFor(const FieldDescriptor& d, int32_t r) {
  TableValue v;
  const std::string n = std::to_string(r);
  switch (d.kind) {
    case 1: v.number = d.name == "port" ? 554 : r + 1; break;
    case 3: v.number = d.name == "p_d" ? (r % 50 == 0 ? 1 : 0) : r % 4; break;
    case 9: v.real = 45000.0 + r / 86400.0; break;
    case 25: v.number = 700'000'000 + r; break;
    case 2:
      if (d.name == "ip") v.bytes = "10.1." + std::to_string(r / 250 % 250) + "." + std::to_string(r % 250);
      else if (d.name == "url") v.bytes = "rtsp://10.1.0.1:554/cam/realmonitor?channel=" + n;
      else v.bytes = std::string(d.name) + " " + n;
      break;
  }
  return v;
}

const std::string& CameraSnapshot() {
  static const std::string payload = [] {
    SnapshotTable t;
    t.name = "video";
    t.records = kRecords;
    for (const FieldDescriptor& d : CameraFields()) {
      SnapshotField f;
      f.descriptor = d;
      f.values.reserve(kRecords);
      for (int32_t r = 0; r < kRecords; ++r) f.values.push_back(ValueFor(d, r));
      t.fields.push_back(std::move(f));
    }
    return WriteSnapshot(t);
  }();
  return payload;
}

void LoadCameras(TKSBaseC* t) {
  size_t read = 0;
  bool complete = false;
  LoadSnapshotInto(t, CameraSnapshot(), &read, &complete);
  t->RebuildView();
}

void BM_MemcpySnapshotPayload(benchmark::State& state) {
  const std::string& payload = CameraSnapshot();
  std::vector<char> dst(payload.size());
  for (auto _ : state) {
    std::memcpy(dst.data(), payload.data(), payload.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}
BENCHMARK(BM_MemcpySnapshotPayload)->Unit(benchmark::kMicrosecond);

void BM_SnapshotLoad(benchmark::State& state) {
  const std::string& payload = CameraSnapshot();
  TKSBaseC t;
  for (auto _ : state) {
    size_t read = 0;
    bool complete = false;
    LoadSnapshotInto(&t, payload, &read, &complete);
    benchmark::DoNotOptimize(read);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
  state.counters["payload_MB"] = payload.size() / 1e6;
}
BENCHMARK(BM_SnapshotLoad)->Unit(benchmark::kMicrosecond);

// The registry's whole snapshot handling: load, acknowledge, rebuild.
void BM_SnapshotLoadRegistry(benchmark::State& state) {
  const std::string& payload = CameraSnapshot();
  TableRegistry reg;
  for (auto _ : state) benchmark::DoNotOptimize(reg.LoadSnapshot(payload).bytes_read);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * payload.size());
}
BENCHMARK(BM_SnapshotLoadRegistry)->Unit(benchmark::kMicrosecond);

// 100,000 record updates, each carrying six fields of one record, applied
// over the whole table (the view is not rebuilt between them).
void BM_RecordUpdates(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  const std::vector<FieldDescriptor> fields = CameraFields();
  std::vector<std::string> updates;
  updates.reserve(kRecords);
  for (int32_t i = 0; i < kRecords; ++i) {
    std::vector<RecordUpdateEntry> entries;
    for (int k : {2, 3, 4, 5, 8, 9}) entries.push_back({fields[k], ValueFor(fields[k], i + 7)});
    updates.push_back(WriteRecordUpdate("video", i, kRecords, entries));
  }
  for (auto _ : state) {
    for (int32_t i = 0; i < kRecords; ++i)
      benchmark::DoNotOptimize(t.ApplyRecordUpdate(i, updates[i]));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kRecords);
  state.counters["ns_per_update"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kRecords,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RecordUpdates)->Unit(benchmark::kMillisecond);

void BM_RebuildPlain(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  for (auto _ : state) t.RebuildView();
  state.counters["visible"] = t.Count();
}
BENCHMARK(BM_RebuildPlain)->Unit(benchmark::kMicrosecond);

void BM_RebuildFiltered(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  SetFilterText(t.FieldByName("mesto"), "1");
  SetFilterText(t.FieldByName("name"), "9");  // contains "9"
  t.SetFiltered(true);
  for (auto _ : state) t.RebuildView();
  state.counters["visible"] = t.Count();
}
BENCHMARK(BM_RebuildFiltered)->Unit(benchmark::kMicrosecond);

void BM_RebuildSortedInteger(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  t.SetSort("n_obj");
  t.SetSorted(true);
  for (auto _ : state) t.RebuildView();
  state.counters["visible"] = t.Count();
}
BENCHMARK(BM_RebuildSortedInteger)->Unit(benchmark::kMillisecond);

void BM_RebuildSortedText(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  t.SetSort("name");
  t.SetSorted(true);
  for (auto _ : state) t.RebuildView();
  state.counters["visible"] = t.Count();
}
BENCHMARK(BM_RebuildSortedText)->Unit(benchmark::kMillisecond);

// The coordinator's scan: every view position, FieldOfRecord then a getter,
// for the fields the probe and the reconciliation read.
void BM_CoordinatorScan(benchmark::State& state) {
  TKSBaseC t;
  LoadCameras(&t);
  for (auto _ : state) {
    int64_t sum = 0;
    size_t chars = 0;
    for (int32_t p = 1; p <= t.Count(); ++p) {
      sum += AsInteger(t.FieldOfRecord("n_obj", p));
      sum += AsInteger(t.FieldOfRecord("port", p));
      chars += AsString(t.FieldOfRecord("ip", p)).size();
      chars += AsString(t.FieldOfRecord("url", p)).size();
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(chars);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * t.Count());
}
BENCHMARK(BM_CoordinatorScan)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvel

BENCHMARK_MAIN();
