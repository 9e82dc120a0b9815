// Fuzzes snapshot loading: the whole input is one snapshot payload, loaded
// through the registry (with a table list first) and then read back with
// every getter and view option.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_common.h"
#include "table/table_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
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
