// Fuzzes the container loader and the walks over what it loaded, and the
// Windows-1251 case-insensitive search.
//
// Input: the whole input is a container image; its first bytes also split
// into a needle and a haystack for FindTextNoCase.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "link/container/find_text.h"
#include "link/container/ks_data_s.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  const std::string_view image(reinterpret_cast<const char*>(data), size);

  TKSDataS c;
  c.LoadFromBytes(image);
  const int32_t groups = std::min(c.GroupCount(), 4);
  for (int32_t g = -1; g <= groups; ++g) {
    const int32_t params =
        (g >= 0 && g < c.GroupCount()) ? std::min<int32_t>(c.Groups()[g].ParamCount, 12) : 1;
    const int32_t records =
        (g >= 0 && g < c.GroupCount()) ? std::min<int32_t>(c.Groups()[g].Records.size(), 4) : 1;
    for (int32_t k = -1; k <= params; ++k) {
      for (int32_t r = -2; r <= records; ++r) {
        if (r == -1 && k != 1) continue;  // one append per group is enough
        int32_t rr = r;
        const int32_t off = c.LocateField(g, k, &rr);
        if (off >= 0) {
          // A located value starts inside its record.
          const auto& rec = c.Groups()[g].Records[rr];
          if (k != 0 && static_cast<size_t>(off) >= rec.size()) __builtin_trap();
        }
        (void)c.ReadText(g, k, r == -1 ? 0 : r);
      }
    }
  }
  c.ClearAll();
  if (c.GroupCount() != 0) __builtin_trap();

  if (size > 1) {
    const size_t split = data[0] % size;
    const int32_t start = static_cast<int8_t>(data[size - 1]);
    (void)FindTextNoCase(image.substr(1, split), image.substr(1 + split), start);
  }
  return 0;
}
