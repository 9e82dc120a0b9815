// Fuzzes record updates and deletion notices against a loaded table of
// every kind. The input is a sequence of chunks, each a 16-bit length and
// that many bytes: a chunk whose first byte is even is a record update, an
// odd one a deletion notice; the rest of the chunk follows the table's name
// slot. The table is read back with every getter after each chunk.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_common.h"
#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/table_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  TableRegistry reg;
  reg.SetLog([](const std::string&) {});
  reg.LoadSnapshot(fuzz::AllKindsSnapshot());
  TKSBaseC* t = reg.Find("t");
  if (t == nullptr) __builtin_trap();

  size_t pos = 0;
  int chunks = 0;
  while (pos + 2 <= size && chunks < 64) {
    size_t n = data[pos] | (size_t{data[pos + 1]} << 8);
    pos += 2;
    n = std::min(n, size - pos);
    if (n == 0) continue;
    std::string payload;
    PutNameSlot(&payload, "t", kTableNameCapacity);
    payload.append(reinterpret_cast<const char*>(data + pos + 1), n - 1);
    // Totals between 5,000 and the ceiling are valid but make every run
    // grow and scan columns of millions of records; fold them to keep the
    // fuzzer fast (totals above the ceiling still reach the engine).
    if (payload.size() >= 17) {
      const uint32_t total = DecodeU32(payload.data() + 13);
      if (total > 5'000 && total <= static_cast<uint32_t>(kMaxRecords))
        PatchU32(&payload, 13, total % 5'000);
    }
    if (data[pos] % 2 == 0) reg.HandleRecordUpdate(payload);
    else reg.HandleDeletionNotice(payload);
    pos += n;
    ++chunks;
    fuzz::ExerciseTable(t);
  }
  return 0;
}
