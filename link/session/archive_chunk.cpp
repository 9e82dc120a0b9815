#include "link/session/archive_chunk.h"

#include "platform/byte_io.h"
#include "platform/file_io.h"
#include "video/archive/archive_format.h"

namespace korvel {
namespace {

struct Block {
  int64_t offset;
  int64_t length;
  std::string* array;
  std::string_view extension;
  bool is_index;
};

// A name that stays inside temp/: no separators, not "." or "..".
bool SafeFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\\' || c == '\0') return false;
  }
  return true;
}

}  // namespace

std::string ArchiveFilePath(const std::string& temp_dir, const std::string& name,
                            std::string_view extension) {
  std::string path = temp_dir;
  path += name;
  path += extension;
  return path;
}

ChunkResult ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks,
                              ArchiveChunkTarget* t) {
  if (header.name != t->name) return ChunkResult::kOtherArchive;
  const Block order[3] = {
      {header.pool_offset, header.pool_length, t->pool, ".fm8", false},
      {header.record_offset, header.record_length, t->records, ".fp8", false},
      {header.index_offset, header.index_length, t->index, ".fz8", true},
  };
  // Check every block before anything changes.
  int64_t total = 0;
  for (const Block& b : order) {
    if (b.array == nullptr) return ChunkResult::kRejected;
    if (b.length <= 0) continue;
    if (b.offset < 0 || b.offset + b.length > kArchiveChunkCeiling) return ChunkResult::kRejected;
    total += b.length;
  }
  if (total > static_cast<int64_t>(blocks.size())) return ChunkResult::kRejected;
  if (!SafeFileName(t->name)) return ChunkResult::kRejected;

  ChunkResult result = ChunkResult::kApplied;
  size_t pos = 0;
  for (const Block& b : order) {
    const std::string path = ArchiveFilePath(t->temp_dir, t->name, b.extension);
    if (b.length > 0) {
      const size_t o = static_cast<size_t>(b.offset);
      const size_t n = static_cast<size_t>(b.length);
      if (b.array->size() < o + n) b.array->resize(o + n, '\0');
      b.array->replace(o, n, blocks.substr(pos, n));
      if (b.is_index) t->dirty = true;
      pos += n;
      if (!WriteFileAt(path, b.offset, blocks.substr(pos - n, n))) {
        result = ChunkResult::kFileFailed;
        break;
      }
    } else if (b.length == 0) {
      b.array->clear();
      t->dirty = true;
      if (!TruncateFile(path)) {
        result = ChunkResult::kFileFailed;
        break;
      }
    } else if (b.is_index && b.length == kArchiveIndexLengthRefresh && !t->rows_empty) {
      t->dirty = true;
    }
  }

  if (!t->index->empty()) {
    const std::string& index = *t->index;
    const uint8_t kind = static_cast<uint8_t>(index[0]);
    t->kind = kind;
    t->header_changed = true;
    if (const size_t size = ArchivePeriodHeaderSize(kind, index.size()); size != 0) {
      t->header_length = static_cast<uint8_t>(size);
      t->year = static_cast<int16_t>(DecodeU16(index.data() + kArchiveHeaderYear));
      t->header_read = true;
    }
  }
  return result;
}

}  // namespace korvel
