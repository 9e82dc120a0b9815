// Writes seed inputs for the table fuzz targets into <dir>/snapshot and
// <dir>/update.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_common.h"
#include "table/record_update_writer.h"
#include "table/snapshot_writer.h"

namespace {
void Write(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Chunk(uint8_t selector, const std::string& payload_after_slot) {
  std::string c;
  const size_t n = payload_after_slot.size() + 1;
  c += static_cast<char>(n & 0xFF);
  c += static_cast<char>(n >> 8);
  c += static_cast<char>(selector);
  c += payload_after_slot;
  return c;
}
}  // namespace

int main(int argc, char** argv) {
  using namespace korvel;
  if (argc != 2) {
    std::fprintf(stderr, "usage: table_fuzz_seeds <dir>\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir / "snapshot");
  std::filesystem::create_directories(dir / "update");
  const std::string all = fuzz::AllKindsSnapshot();
  Write(dir / "snapshot" / "all_kinds", all);
  Write(dir / "snapshot" / "truncated", all.substr(0, all.size() / 2));

  auto desc = [](const char* name, uint8_t kind, int32_t w, int32_t t = 0) {
    FieldDescriptor d;
    d.name = name;
    d.kind = kind;
    d.width = w;
    d.text_width = t;
    return d;
  };
  auto after_slot = [](const std::string& p) { return p.substr(9); };
  TableValue num;
  num.number = 5;
  TableValue text;
  text.bytes = "hello";
  TableValue dict;
  dict.number = 9;
  dict.bytes = "nine";
  TableValue heap;
  heap.number = 2;
  heap.heap_size = 16;
  heap.bytes = "heap";
  TableValue list;
  list.texts = {"q", "r"};
  const std::string u1 = WriteRecordUpdate(
      "t", 3, 4,
      {{desc("n_abs", 1, 4), num}, {desc("s", 2, 12), text}, {desc("d15", 15, 2, 8), dict},
       {desc("d16", 16, 1, 8), dict}, {desc("h", 24, 0), heap}, {desc("lst", 23, 2, 6), list},
       {desc("sec", 25, 4), num}, {desc("blk", 11, 3), text}});
  const std::string del = WriteDeletionNotice("t", 2);
  Write(dir / "update" / "update_and_delete",
        Chunk(0, after_slot(u1)) + Chunk(1, after_slot(del)));
  return 0;
}
