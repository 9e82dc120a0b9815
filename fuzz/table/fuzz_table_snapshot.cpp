// Fuzzes snapshot loading: the whole input is one snapshot payload, loaded
// through the registry (with a table list first) and then read back with
// every getter and view option.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "platform/byte_io.h"
#include "table/table_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  // Counts between 5,000 and the ceiling are valid but make every run scan a
  // view of millions of records; fold them to keep the fuzzer fast (counts
  // above the ceiling still reach the loader).
  if (bytes.size() >= 13) {
    const uint32_t records = DecodeU32(bytes.data() + 9);
    if (records > 5'000 && records <= static_cast<uint32_t>(kMaxRecords))
      PatchU32(&bytes, 9, records % 5'000);
  }
  const std::string_view payload(bytes);
  TableRegistry reg;
  reg.SetSendHook([](TKSBaseC*, int32_t, const uint8_t* bytes, int32_t n) {
    volatile uint8_t sink = 0;
    for (int32_t i = 0; i < n; ++i) sink = sink ^ bytes[i];
  });
  reg.AddTables("t\nvideo\r\nvideor");
  const auto result = reg.LoadSnapshot(payload);
  if (result.bytes_read > size) __builtin_trap();
  if (result.table != nullptr) fuzz::ExerciseTable(result.table);
  reg.Reset();
  return 0;
}
