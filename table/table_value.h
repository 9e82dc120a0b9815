// A field value as the encoders take it (snapshot and record-update
// writers). Which members count depends on the field's kind:
//   integer kinds (1 3 4 5 8 10 12 13 14 18 19 20 21 25): `number`
//   6 7 9: `real`
//   2: `bytes`, the text        11 22: `bytes`, the block (cut or zero-filled to w)
//   23: `texts` (w texts)
//   15 16: `number` is the code; `bytes` the dictionary text (record updates)
//   24: `number` is the offset into the heap; in record updates `heap_size`
//       is the new heap size and `bytes` the text stored at the offset
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

struct TableValue {
  int64_t number = 0;
  double real = 0;
  std::string bytes;
  std::vector<std::string> texts;
  uint32_t heap_size = 0;
};

}  // namespace korvel
