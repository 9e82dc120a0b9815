// Arbitrary year archive files through LoadArchiveYear, RebuildArchiveRows
// and every grid row's accessors, then again after the arrays are cut under
// the list (as a chunk may do between a rebuild and a repaint).
//
// Input: flags (bit 0 AND mode, bits 1-2 the workstation 0..3), the two
// filters as counted texts, the pool and the records each as a 32-bit
// length and its bytes, and the rest as the index.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/byte_io.h"
#include "video/archive/archive_entry.h"

namespace {

std::string Take(korvel::ByteReader* in, size_t n) {
  std::string out;
  if (!in->GetBytes(n < in->remaining() ? n : in->remaining(), &out)) out.clear();
  return out;
}

std::string TakeCounted(korvel::ByteReader* in) {
  uint8_t n = 0;
  in->GetU8(&n);
  return Take(in, n);
}

std::string TakeSized(korvel::ByteReader* in) {
  uint32_t n = 0;
  in->GetU32(&n);
  return Take(in, n);
}

const std::string& BaseDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/korvel_fuzz_archive_XXXXXX";
    std::string d = ::mkdtemp(tmpl) ? tmpl : "/tmp";
    ::mkdir((d + "/temp").c_str(), 0700);
    return d;
  }();
  return dir;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
}

void ReadAllRows(const korvel::ArchiveEntry& entry) {
  const int rows = korvel::ArchiveGridRowCount(entry);
  for (int r = 0; r <= rows && r < 2000; ++r) {
    korvel::ArchiveRowView view;
    if (korvel::ReadArchiveRow(entry, r, &view)) {
      (void)korvel::ArchiveRowTimeText(view);
      (void)korvel::ArchiveRowCameraText(view);
    }
    (void)korvel::SelectArchiveRow(entry, r, "/nonexistent");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvel::ByteReader in(data, size);
  uint8_t flags = 0;
  in.GetU8(&flags);
  korvel::ArchiveFilter filter;
  filter.and_mode = (flags & 1) != 0;
  filter.video_place = (flags >> 1) & 3;
  filter.text1 = TakeCounted(&in);
  filter.text2 = TakeCounted(&in);
  const std::string pool = TakeSized(&in);
  const std::string records = TakeSized(&in);
  const std::string index = Take(&in, in.remaining());

  const std::string temp = BaseDir() + "/temp/vi8_2024";
  WriteFile(temp + ".fm8", pool);
  WriteFile(temp + ".fp8", records);
  WriteFile(temp + ".fz8", index);

  korvel::ArchiveEntry entry;
  korvel::LoadArchiveYear(BaseDir(), 2024, &entry);
  korvel::RebuildArchiveRows(filter, &entry);
  ReadAllRows(entry);

  // The arrays change under the list.
  entry.index.resize(entry.index.size() / 2);
  entry.records.resize(entry.records.size() / 3);
  entry.pool.resize(entry.pool.size() / 2);
  ReadAllRows(entry);
  return 0;
}
