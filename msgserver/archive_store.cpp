#include "msgserver/archive_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "msgserver/archive_format.h"
#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "platform/date_time.h"

namespace korvel::msgserver {
namespace {

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  *out = ss.str();
  return true;
}

// Writes `bytes` at `offset` of the file, creating it when missing.
bool WriteAt(const std::string& path, int64_t offset, std::string_view bytes, std::string* error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + static_cast<int64_t>(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}

bool AllDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

ArchiveStore::ArchiveStore(std::string folder) : folder_(std::move(folder)) {
  std::error_code ec;
  fs::create_directories(folder_, ec);
}

int ArchiveStore::YearOfArchiveName(const std::string& name) {
  if (name.size() != 8 || (name.compare(0, 4, "vi8_") != 0 && name.compare(0, 4, "si8_") != 0) ||
      !AllDigits(std::string_view(name).substr(4))) {
    return 0;
  }
  return std::stoi(name.substr(4));
}

bool ArchiveStore::IsSafeArchiveName(const std::string& name) {
  if (name.empty() || name.size() > 30) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

std::string ArchiveStore::PathOf(const std::string& name, const char* extension) const {
  return (fs::path(folder_) / (name + extension)).string();
}

ArchiveStore::YearArchive* ArchiveStore::Open(const std::string& name, bool create) {
  auto it = year_archives_.find(name);
  if (it != year_archives_.end()) return it->second.get();
  const int year = YearOfArchiveName(name);
  if (year == 0) return nullptr;
  auto a = std::make_unique<YearArchive>();
  a->name = name;
  const bool found = ReadWholeFile(PathOf(name, kIndexExtension), &a->files.index);
  ReadWholeFile(PathOf(name, kRecordExtension), &a->files.records);
  ReadWholeFile(PathOf(name, kPoolExtension), &a->files.pool);
  if (!found && !create) return nullptr;
  // An index cut short by a crash keeps its whole entries only; the next
  // event is written over the broken tail.
  if (a->files.index.size() >= kPeriodHeaderSize) {
    const size_t entries = (a->files.index.size() - kPeriodHeaderSize) / kIndexEntrySize;
    a->files.index.resize(kPeriodHeaderSize + entries * kIndexEntrySize);
  } else {
    a->files.index.clear();
  }
  // Known texts of the pool, so repeated names take no new space.
  ByteReader pool(a->files.pool);
  while (!pool.empty()) {
    const auto at = static_cast<int32_t>(pool.position());
    std::string text;
    if (!GetCountedText(pool, &text)) break;
    a->pool_offsets.emplace(text, at);
  }
  YearArchive* raw = a.get();
  year_archives_[name] = std::move(a);
  return raw;
}

const YearArchiveFiles* ArchiveStore::Find(const std::string& name) {
  YearArchive* a = Open(name, false);
  return a != nullptr && !a->files.index.empty() ? &a->files : nullptr;
}

int32_t ArchiveStore::PoolOffset(YearArchive* a, const std::string& text, std::string* pool_tail) {
  const std::string cut = text.substr(0, kCountedTextMax);
  auto it = a->pool_offsets.find(cut);
  if (it != a->pool_offsets.end()) return it->second;
  const auto at = static_cast<int32_t>(a->files.pool.size() + pool_tail->size());
  PutCountedText(pool_tail, cut);
  a->pool_offsets.emplace(cut, at);
  return at;
}

bool ArchiveStore::Append(const CameraEventRecord& e, std::string_view raw, std::string* error) {
  if (!IsSafeArchiveName(e.archive)) {
    *error = "archive name refused";
    return false;
  }
  const int year = YearOfArchiveName(e.archive);
  if (year == 0) {
    const std::string path = PathOf(e.archive, kEventFileExtension);
    std::error_code ec;
    const auto size = fs::exists(path, ec) ? fs::file_size(path, ec) : 0;
    return WriteAt(path, static_cast<int64_t>(ec ? 0 : size), raw.substr(0, kCameraEventRecordSize),
                   error);
  }
  YearArchive* a = Open(e.archive, true);
  if (a == nullptr) {
    *error = "archive cannot be opened";
    return false;
  }
  std::string index_tail;
  if (a->files.index.empty()) {
    PutU8(&index_tail, kPeriodKindYear);
    PutU16(&index_tail, static_cast<uint16_t>(year));
  }
  const auto pool_map_before = a->pool_offsets;
  std::string pool_tail;
  if (a->files.pool.empty()) {
    pool_tail.push_back('\0');
    a->pool_offsets.emplace(std::string(), 0);
  }
  const int32_t object_text = PoolOffset(a, e.object_name, &pool_tail);
  const int32_t event_text = PoolOffset(a, e.event_text, &pool_tail);
  const int32_t url_text = PoolOffset(a, e.camera_url, &pool_tail);
  const int32_t camera_text = PoolOffset(a, e.camera_name, &pool_tail);
  const int32_t file_text = PoolOffset(a, e.recording_file, &pool_tail);

  CalendarFields when;
  if (!DecodeDateTime(e.event_time, &when)) DecodeDateTime(NowDateTime(), &when);
  std::string record;
  PutU8(&record, static_cast<uint8_t>(when.month));
  PutU8(&record, static_cast<uint8_t>(when.day));
  PutU8(&record, static_cast<uint8_t>(when.hour));
  PutU8(&record, static_cast<uint8_t>(when.minute));
  PutU8(&record, static_cast<uint8_t>(when.second));
  PutI32(&record, e.object_number);
  PutI32(&record, object_text);
  PutI32(&record, event_text);
  PutI32(&record, url_text);
  PutI32(&record, camera_text);
  PutU16(&record, e.event_type);
  PutU8(&record, e.operation);
  PutU8(&record, 0);
  PutI32(&record, e.workstation);
  PutI32(&record, file_text);
  PutU8(&record, e.flag);
  PutU8(&record, e.listed);

  const auto record_offset = static_cast<int32_t>(a->files.records.size());
  PutU8(&index_tail, kIndexEntryMarker);
  PutU16(&index_tail, e.event_type);
  PutI32(&index_tail, record_offset);

  // Pool and record first, index last: an index entry on disk always has
  // its record and texts.
  const bool ok =
      WriteAt(PathOf(e.archive, kPoolExtension), static_cast<int64_t>(a->files.pool.size()),
              pool_tail, error) &&
      WriteAt(PathOf(e.archive, kRecordExtension), record_offset, record, error) &&
      WriteAt(PathOf(e.archive, kIndexExtension), static_cast<int64_t>(a->files.index.size()),
              index_tail, error);
  if (!ok) {
    a->pool_offsets = pool_map_before;
    return false;
  }
  a->files.pool += pool_tail;
  a->files.records += record;
  a->files.index += index_tail;
  return true;
}

std::vector<std::string> ArchiveStore::ChunksFor(const ArchiveSizes& sizes, size_t max_bytes) {
  std::vector<std::string> chunks;
  if (YearOfArchiveName(sizes.name) == 0) return chunks;
  static const YearArchiveFiles kEmpty;
  const YearArchiveFiles* files = Find(sizes.name);
  if (files == nullptr) files = &kEmpty;

  ArchiveChunkHeader h;
  h.name = sizes.name;
  h.pool_length = h.record_length = h.index_length = -1;
  std::string blocks;
  size_t budget = std::max<size_t>(max_bytes, 1);
  bool tails_complete = true;
  // One block: offset/length into *offset/*length, data appended.
  auto plan = [&](const std::string& have, int32_t reported, int32_t* offset, int32_t* length) {
    const auto server = static_cast<int64_t>(have.size());
    if (reported == server) return;
    if (reported > server || reported < 0) {
      *offset = 0;
      *length = 0;
      tails_complete = false;
      return;
    }
    const auto missing = static_cast<size_t>(server - reported);
    const size_t n = std::min(missing, budget);
    if (n == 0) {
      tails_complete = false;
      return;
    }
    if (n < missing) tails_complete = false;
    *offset = reported;
    *length = static_cast<int32_t>(n);
    blocks.append(have, static_cast<size_t>(reported), n);
    budget -= n;
  };
  plan(files->pool, sizes.pool_bytes, &h.pool_offset, &h.pool_length);
  plan(files->records, sizes.record_bytes, &h.record_offset, &h.record_length);
  if (tails_complete || sizes.index_bytes > static_cast<int64_t>(files->index.size())) {
    plan(files->index, sizes.index_bytes, &h.index_offset, &h.index_length);
  }
  if (h.pool_length == -1 && h.record_length == -1 && h.index_length == -1) return chunks;
  std::string payload;
  EncodeArchiveChunkHeader(&payload, h);
  payload += blocks;
  chunks.push_back(std::move(payload));
  return chunks;
}

std::vector<ArchiveSizes> ArchiveStore::List() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    const fs::path p = entry.path();
    if (p.extension() == kIndexExtension) Open(p.stem().string(), false);
  }
  std::vector<ArchiveSizes> out;
  for (const auto& [name, a] : year_archives_) {
    if (a->files.index.empty()) continue;
    ArchiveSizes s;
    s.name = name;
    s.pool_bytes = static_cast<int32_t>(a->files.pool.size());
    s.record_bytes = static_cast<int32_t>(a->files.records.size());
    s.index_bytes = static_cast<int32_t>(a->files.index.size());
    out.push_back(s);
  }
  return out;
}

}  // namespace korvel::msgserver
