#include "video/archive/archive_writer.h"

#include "platform/byte_io.h"
#include "platform/file_io.h"

namespace korvel {

ArchiveWriter::ArchiveWriter(uint16_t year) {
  PutU8(&index_, kArchiveKindYear);
  PutU16(&index_, year);
  pool_.push_back('\0');
  pool_offsets_.emplace(std::string(), 0);
}

int32_t ArchiveWriter::PoolOffset(std::string_view text) {
  if (text.size() > 255) text = text.substr(0, 255);
  std::string key(text);
  auto it = pool_offsets_.find(key);
  if (it != pool_offsets_.end()) return it->second;
  const auto at = static_cast<int32_t>(pool_.size());
  PutU8(&pool_, static_cast<uint8_t>(text.size()));
  pool_.append(text);
  pool_offsets_.emplace(std::move(key), at);
  return at;
}

size_t ArchiveWriter::Append(const ArchiveEventFields& e) {
  const auto record_at = static_cast<int32_t>(records_.size());
  PutU8(&records_, e.month);
  PutU8(&records_, e.day);
  PutU8(&records_, e.hour);
  PutU8(&records_, e.minute);
  PutU8(&records_, e.second);
  // Compact record; the server's own fields first, the listed ones at the
  // offsets of archive_format.h.
  PutI32(&records_, e.object_number);           // 0
  PutI32(&records_, PoolOffset(e.object));      // 4
  PutI32(&records_, PoolOffset(e.event_text));  // 8
  PutI32(&records_, PoolOffset(e.camera_url));  // 12
  PutI32(&records_, PoolOffset(e.camera));      // 16
  PutU16(&records_, e.type);                    // 20
  PutU8(&records_, e.operation);                // 22
  PutU8(&records_, 0);                          // 23
  PutI32(&records_, e.workstation);             // 24
  PutI32(&records_, PoolOffset(e.recording_path));  // 28
  PutU8(&records_, e.flag);                     // 32
  PutU8(&records_, e.listed);                   // 33

  const size_t entry_at = index_.size();
  PutU8(&index_, kArchiveEntryMarker);
  PutU16(&index_, e.type);
  PutI32(&index_, record_at);
  return entry_at;
}

bool ArchiveWriter::WriteFiles(std::string_view dir, std::string_view name) const {
  std::string base(dir);
  if (!base.empty() && base.back() != '/') base.push_back('/');
  base.append(name);
  return WriteWholeFile(base + std::string(kArchivePoolExtension), pool_) &&
         WriteWholeFile(base + std::string(kArchiveRecordExtension), records_) &&
         WriteWholeFile(base + std::string(kArchiveIndexExtension), index_);
}

}  // namespace korvel
