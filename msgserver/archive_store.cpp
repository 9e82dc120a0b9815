#include "msgserver/archive_store.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "video/archive/archive_format.h"
#include "video/wall/camera_event_format.h"
#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "platform/date_time.h"
#include "platform/file_io.h"

namespace korvel::msgserver {
namespace {

namespace fs = std::filesystem;

// Archives other than year archives (the day archives "sk8_yyyymmdd") keep
// the 1461-byte records as they came, back to back.
constexpr std::string_view kEventFileExtension = ".cev";

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

std::string ArchiveStore::PathOf(const std::string& name, std::string_view extension) const {
  return (fs::path(folder_) / (name + std::string(extension))).string();
}

ArchiveStore::YearArchive* ArchiveStore::Open(const std::string& name, bool create) {
  auto it = year_archives_.find(name);
  if (it != year_archives_.end()) return it->second.get();
  const int year = YearOfArchiveName(name);
  if (year == 0) return nullptr;
  std::string index, records, pool;
  const bool found = ReadWholeFile(PathOf(name, kArchiveIndexExtension), &index);
  if (!found && !create) return nullptr;
  auto a = std::make_unique<YearArchive>(static_cast<uint16_t>(year));
  if (found && index.size() >= kArchiveYearHeaderSize) {
    ReadWholeFile(PathOf(name, kArchiveRecordExtension), &records);
    ReadWholeFile(PathOf(name, kArchivePoolExtension), &pool);
    // An index cut short by a crash keeps its whole entries only; the next
    // event is written over the broken tail. Texts from before the restart
    // are not reused (their offsets are not known to the writer).
    const size_t entries = (index.size() - kArchiveYearHeaderSize) / kArchiveEntrySize;
    index.resize(kArchiveYearHeaderSize + entries * kArchiveEntrySize);
    if (pool.empty()) pool.push_back('\0');  // offset 0: the empty text
    a->writer.index() = std::move(index);
    a->writer.records() = std::move(records);
    a->writer.pool() = std::move(pool);
    a->disk_index = a->writer.index().size();
    a->disk_records = a->writer.records().size();
    a->disk_pool = a->writer.pool().size();
  }
  YearArchive* raw = a.get();
  year_archives_[name] = std::move(a);
  return raw;
}

const ArchiveWriter* ArchiveStore::Find(const std::string& name) {
  YearArchive* a = Open(name, false);
  return a != nullptr && a->writer.index().size() > kArchiveYearHeaderSize ? &a->writer : nullptr;
}

bool ArchiveStore::Flush(const std::string& name, YearArchive* a, std::string* error) {
  // Pool and records first, index last: an index entry on disk always has
  // its record and texts.
  const struct {
    const std::string& bytes;
    size_t* disk;
    std::string_view extension;
  } files[] = {{a->writer.pool(), &a->disk_pool, kArchivePoolExtension},
               {a->writer.records(), &a->disk_records, kArchiveRecordExtension},
               {a->writer.index(), &a->disk_index, kArchiveIndexExtension}};
  for (const auto& f : files) {
    if (*f.disk >= f.bytes.size()) continue;
    if (!WriteFileAt(PathOf(name, f.extension), static_cast<int64_t>(*f.disk),
                 std::string_view(f.bytes).substr(*f.disk), error)) {
      return false;
    }
    *f.disk = f.bytes.size();
  }
  return true;
}

bool ArchiveStore::Append(const CameraEventRecord& e, std::string_view raw, std::string* error) {
  if (!IsSafeArchiveName(e.archive)) {
    *error = "archive name refused";
    return false;
  }
  if (YearOfArchiveName(e.archive) == 0) {
    const std::string path = PathOf(e.archive, kEventFileExtension);
    std::error_code ec;
    const auto size = fs::exists(path, ec) ? fs::file_size(path, ec) : 0;
    return WriteFileAt(path, static_cast<int64_t>(ec ? 0 : size), raw.substr(0, camera_event::kRecordSize),
                   error);
  }
  YearArchive* a = Open(e.archive, true);
  if (a == nullptr) {
    *error = "archive cannot be opened";
    return false;
  }
  CalendarFields when;
  if (!DecodeDateTime(e.event_time, &when)) DecodeDateTime(NowDateTime(), &when);
  ArchiveEventFields f;
  f.month = static_cast<uint8_t>(when.month);
  f.day = static_cast<uint8_t>(when.day);
  f.hour = static_cast<uint8_t>(when.hour);
  f.minute = static_cast<uint8_t>(when.minute);
  f.second = static_cast<uint8_t>(when.second);
  f.type = e.event_type;
  f.object_number = e.object_number;
  f.object = e.object_name;
  f.event_text = e.event_text;
  f.camera_url = e.camera_url;
  f.camera = e.camera_name;
  f.operation = e.operation;
  f.workstation = e.workstation;
  f.recording_path = e.recording_file;
  f.flag = e.flag;
  f.listed = e.listed;
  a->writer.Append(f);
  // The event is served from memory even when the disk refuses it; the
  // next event retries the missing tails.
  return Flush(e.archive, a, error);
}

std::vector<std::string> ArchiveStore::ChunksFor(const ArchiveSizes& sizes, size_t max_bytes) {
  std::vector<std::string> chunks;
  if (YearOfArchiveName(sizes.name) == 0) return chunks;
  static const std::string kNothing;
  const ArchiveWriter* w = Find(sizes.name);
  const std::string& pool = w != nullptr ? w->pool() : kNothing;
  const std::string& records = w != nullptr ? w->records() : kNothing;
  const std::string& index = w != nullptr ? w->index() : kNothing;

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
  plan(pool, sizes.pool_bytes, &h.pool_offset, &h.pool_length);
  plan(records, sizes.record_bytes, &h.record_offset, &h.record_length);
  if (tails_complete || sizes.index_bytes > static_cast<int64_t>(index.size())) {
    plan(index, sizes.index_bytes, &h.index_offset, &h.index_length);
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
    if (p.extension() == kArchiveIndexExtension) Open(p.stem().string(), false);
  }
  std::vector<ArchiveSizes> out;
  for (const auto& [name, a] : year_archives_) {
    if (a->writer.index().size() <= kArchiveYearHeaderSize) continue;
    ArchiveSizes s;
    s.name = name;
    s.pool_bytes = static_cast<int32_t>(a->writer.pool().size());
    s.record_bytes = static_cast<int32_t>(a->writer.records().size());
    s.index_bytes = static_cast<int32_t>(a->writer.index().size());
    out.push_back(s);
  }
  return out;
}

}  // namespace korvel::msgserver
