// RebuildArchiveRows: the scan of the index that builds the archive list.
#include <algorithm>
#include <cstring>
#include <exception>

#include "link/container/find_text.h"
#include "platform/byte_io.h"
#include "video/archive/archive_date_match.h"
#include "video/archive/archive_date_text.h"
#include "video/archive/archive_entry.h"

namespace korvel {
namespace {

// One filter text and what it can match.
struct FilterText {
  FilterText(std::string_view t, int year) : text(t), date(t, year) {}
  bool empty() const { return text.empty(); }
  bool In(std::string_view haystack) const { return FindTextNoCase(text, haystack, 1) != 0; }

  std::string_view text;
  ArchiveDateMatcher date;
};

// Remembers, per pool offset, whether each filter occurs in the text there.
// Object and camera texts repeat from event to event (the pool keeps each
// text once), so most lookups are answered without a search; each filter
// is searched for only when its answer is needed. A hashed, direct-mapped
// table of 64 KiB, small enough to stay in the processor's cache; a
// collision simply searches again. A slot packs the offset (below 2^28, the
// file ceiling) above four bits: for each filter, "known" and "occurs". A
// slot with no known bit means nothing, so the zeroed table is empty.
class PoolMatchCache {
 public:
  PoolMatchCache(const FilterText& f1, const FilterText& f2, std::string_view pool)
      : filters_{&f1, &f2}, pool_(pool), slots_(kSlots, 0) {}

  // Whether filter k (0 or 1) occurs in the pool text at `offset`.
  bool Matches(int32_t offset, int k) {
    // Offsets outside the pool read as the empty text, which nothing matches.
    if (offset < 0 || static_cast<size_t>(offset) >= pool_.size()) return false;
    const uint32_t key = static_cast<uint32_t>(offset) << 4;
    const uint32_t known = 1u << (2 * k);
    const uint32_t occurs = known << 1;
    uint32_t& slot = slots_[(static_cast<uint32_t>(offset) * 2654435761u) >> (32 - kSlotBits)];
    if ((slot & ~0xFu) != key) slot = key;  // another text: forget the old one
    if ((slot & known) == 0) {
      slot |= known | (filters_[k]->In(ArchivePoolText(pool_, offset)) ? occurs : 0);
    }
    return (slot & occurs) != 0;
  }

 private:
  static_assert(kArchiveFileCeiling <= (size_t{1} << 28), "offsets must pack into 28 bits");
  static constexpr int kSlotBits = 14;
  static constexpr size_t kSlots = size_t{1} << kSlotBits;
  const FilterText* filters_[2];
  std::string_view pool_;
  std::vector<uint32_t> slots_;
};

// ArchivePoolText(pool, offset).empty(), without building the view.
inline bool PoolTextEmpty(std::string_view pool, int32_t offset) {
  return offset < 0 || static_cast<size_t>(offset) + 1 >= pool.size() || pool[offset] == 0;
}

// Calls visit(position, compact record, time) for every event of a year
// index that passes the checks before the filters: its record lies inside
// the record file, its type is 96, it is listed, it has a recording path,
// it belongs to this workstation or to any, and its date is a real one.
// REQUIRES: the index holds a whole year header.
template <typename Visit>
void ForEachListedEvent(const ArchiveEntry& entry, int year, int32_t video_place, Visit visit) {
  const std::string_view records = entry.records;
  const auto* base = reinterpret_cast<const uint8_t*>(entry.index.data());
  const size_t size = entry.index.size();
  size_t p = kArchiveYearHeaderSize;
  while (p + 1 < size) {
    // Entries are found by their marker, so bytes between them are passed.
    size_t at = p;
    if (base[p] != kArchiveEntryMarker) {  // the usual case needs no search
      const void* marker = std::memchr(base + p, kArchiveEntryMarker, size - p);
      if (marker == nullptr) break;
      at = static_cast<size_t>(static_cast<const uint8_t*>(marker) - base);
    }
    p = at + kArchiveEntrySize;
    if (p > size) break;  // a cut-off entry: the tail is still arriving

    const uint16_t type = DecodeU16(base + at + kArchiveEntryType);
    const int32_t offset = DecodeI32(base + at + kArchiveEntryOffset);
    if (offset < 0 || static_cast<size_t>(offset) > records.size() ||
        records.size() - static_cast<size_t>(offset) < kArchiveEventSize) {
      continue;
    }
    if (type != kCameraEventType) continue;
    const auto* prefix = reinterpret_cast<const uint8_t*>(records.data()) + offset;
    const uint8_t* r = prefix + kArchiveTimePrefixSize;
    if (r[kCompactListed] != 1) continue;
    if (PoolTextEmpty(entry.pool, DecodeI32(r + kCompactRecordingText))) continue;
    const int32_t workstation = DecodeI32(r + kCompactWorkstation);
    if (workstation != 0 && workstation != video_place) continue;

    ArchiveEventTime time;
    time.year = year;
    time.month = prefix[kArchivePrefixMonth];
    time.day = prefix[kArchivePrefixDay];
    time.hour = prefix[kArchivePrefixHour];
    time.minute = prefix[kArchivePrefixMinute];
    time.second = prefix[kArchivePrefixSecond];
    if (!IsValidArchiveEventTime(time)) continue;  // skips only this event
    visit(static_cast<uint32_t>(at), r, time);
  }
}

void Scan(const ArchiveFilter& filter, const ArchiveEntry& entry, std::vector<uint32_t>* rows) {
  // Only a year archive (kind 1) with its whole header is listed.
  if (entry.index.size() < kArchiveYearHeaderSize ||
      static_cast<uint8_t>(entry.index[0]) != kArchiveKindYear) {
    return;
  }
  const int year = DecodeU16(entry.index.data() + kArchiveHeaderYear);
  // Room for every entry the index can hold, up to a million rows; a larger
  // list grows as it is found.
  rows->reserve(std::min<size_t>((entry.index.size() - kArchiveYearHeaderSize) / kArchiveEntrySize,
                                 size_t{1} << 20));
  if (filter.text1.empty() && filter.text2.empty()) {
    ForEachListedEvent(entry, year, filter.video_place,
                       [&](uint32_t at, const uint8_t*, const ArchiveEventTime&) {
                         rows->push_back(at);
                       });
    return;
  }

  const FilterText f1(filter.text1, year);
  const FilterText f2(filter.text2, year);
  PoolMatchCache cache(f1, f2, entry.pool);
  const bool and_mode = filter.and_mode;
  ForEachListedEvent(
      entry, year, filter.video_place,
      [&](uint32_t at, const uint8_t* r, const ArchiveEventTime& time) {
        const int32_t object = DecodeI32(r + kCompactObjectText);
        const int32_t camera = DecodeI32(r + kCompactCameraText);
        // Filter k matches when it occurs in a date text (a table lookup,
        // so asked first), the object or the camera; asked only when the
        // outcome depends on it.
        auto matches = [&](const FilterText& f, int k) {
          return (f.date.possible() && f.date.Matches(time)) || cache.Matches(object, k) ||
                 cache.Matches(camera, k);
        };
        const bool listed = and_mode ? (f1.empty() || matches(f1, 0)) && (f2.empty() || matches(f2, 1))
                                     : (!f1.empty() && matches(f1, 0)) || (!f2.empty() && matches(f2, 1));
        if (listed) rows->push_back(at);
      });
}

}  // namespace

void RebuildArchiveRows(const ArchiveFilter& filter, ArchiveEntry* entry) {
  std::vector<uint32_t> rows;
  try {
    Scan(filter, *entry, &rows);
  } catch (const std::exception&) {
    // Out of memory for the list: show what was found so far; the next
    // change of a filter, the year or the archive rebuilds it.
  }
  std::lock_guard lock(entry->mutex);
  entry->archive_rows.swap(rows);
}

int ArchiveGridRowCount(const ArchiveEntry& entry) {
  const size_t rows = entry.archive_rows.size();
  if (rows >= static_cast<size_t>(INT32_MAX) - 1) return INT32_MAX;
  return rows + 1 < 2 ? 2 : static_cast<int>(rows + 1);
}

}  // namespace korvel
