// Applying one archive chunk (msgArchiveChunk) to the archive entry and to
// the three archive files of its year in `temp/`.
//
// For each block in the order string pool (.fm8), record file (.fp8), index
// file (.fz8), with offset o and length n:
//   n > 0   the array grows to o + n when shorter (new bytes 0), the n bytes
//           are copied in at o, and written into the block's file at o
//           (created when missing; a position past the end lengthens it);
//           the index block sets the archive-dirty flag;
//   n = 0   the array is emptied and its file truncated to 0 (so that the
//           next reload cannot bring stale entries back); dirty flag set;
//   n < 0   no bytes; an index length of exactly -2 sets the dirty flag when
//           the archive view lists rows.
// Afterwards, when the index array is not empty, kind := its first byte; a
// kind of 1..5 sets header length kind + 2 and the year (int16 at bytes
// 1-2), when the index holds that many bytes.
//
// The chunk comes from the server and is checked before anything changes:
// offsets and lengths are taken in 64 bits; every block must have o >= 0
// (when n > 0) and o + n <= kArchiveChunkCeiling, and the positive lengths
// must fit in the bytes given; otherwise the chunk is skipped unchanged. A
// chunk for another archive name is skipped too. Files are only the entry's
// own three, opened without following links and only when they are regular
// files. A file that cannot be opened or written ends the chunk: that
// block's array already holds the bytes, the later blocks are not applied.
//
// Threads: the main thread, which owns the archive entry; the caller holds
// whatever lock the entry shares with the poll's size read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/wire/payloads.h"

namespace korvel {

// Largest o + n a block may reach: far above a real year archive.
inline constexpr int64_t kArchiveChunkCeiling = 256LL * 1024 * 1024;

// The members of the archive entry a chunk changes.
struct ArchiveChunkTarget {
  std::string name;              // the entry's archive name ("vi8_2026")
  std::string temp_dir;          // folder of the archive files, trailing '/'
  std::string* pool = nullptr;      // .fm8 mirror
  std::string* records = nullptr;   // .fp8 mirror
  std::string* index = nullptr;     // .fz8 mirror
  bool rows_empty = true;        // the archive view lists no rows
  // Outputs.
  bool dirty = false;            // set when the archive view must be rebuilt
  bool header_changed = false;   // kind (and maybe header length, year) set
  uint8_t kind = 0;
  uint8_t header_length = 0;
  int16_t year = 0;
  bool header_read = false;      // header length and year were read
};

enum class ChunkResult {
  kApplied,
  kOtherArchive,   // name differs: nothing changed
  kRejected,       // offsets or lengths out of bounds: nothing changed
  kFileFailed,     // a file could not be written: later blocks not applied
};

// `blocks` holds the bytes after the 55-byte header (the link gives at most
// the sum of the positive lengths).
ChunkResult ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks,
                              ArchiveChunkTarget* target);

// The path of one of the entry's files: temp_dir + name + extension.
std::string ArchiveFilePath(const std::string& temp_dir, const std::string& name,
                            std::string_view extension);

}  // namespace korvel
