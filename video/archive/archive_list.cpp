// RebuildArchiveRows: the scan of the index that builds the archive list.
#include <array>
#include <cstring>
#include <exception>

#include "link/container/find_text.h"
#include "platform/byte_io.h"
#include "video/archive/archive_date_text.h"
#include "video/archive/archive_entry.h"

namespace korvel {
namespace {

// One filter text and what it can match.
struct FilterText {
  std::string_view text;
  // Only digits, '.', ':' and ' ' occur in the date texts; a filter with
  // any other byte cannot match them, so they need not be formatted for it.
  bool may_match_date = false;

  explicit FilterText(std::string_view t) : text(t) {
    may_match_date = !t.empty() && t.size() <= kArchiveLongDateTextMax;
    for (char c : t) {
      if (!((c >= '0' && c <= '9') || c == '.' || c == ':' || c == ' ')) may_match_date = false;
    }
  }
  bool empty() const { return text.empty(); }
  bool In(std::string_view haystack) const { return FindTextNoCase(text, haystack, 1) != 0; }
};

// Remembers, per pool offset, whether each filter occurs in the text there.
// Object and camera texts repeat from event to event (the pool keeps each
// text once), so most lookups are answered without a search. Direct-mapped;
// a collision simply searches again.
class PoolMatchCache {
 public:
  PoolMatchCache(const FilterText& f1, const FilterText& f2, std::string_view pool)
      : f1_(f1), f2_(f2), pool_(pool) {
    for (auto& s : slots_) s.offset = -1;
  }

  // Bit 0: f1 occurs in the pool text at `offset`; bit 1: f2 does.
  uint8_t Matches(int32_t offset) {
    Slot& s = slots_[static_cast<uint32_t>(offset) & (kSlots - 1)];
    if (s.offset != offset) {
      const std::string_view text = ArchivePoolText(pool_, offset);
      s.offset = offset;
      s.bits = static_cast<uint8_t>((!f1_.empty() && f1_.In(text) ? 1 : 0) |
                                    (!f2_.empty() && f2_.In(text) ? 2 : 0));
    }
    return s.bits;
  }

 private:
  static constexpr size_t kSlots = 4096;
  struct Slot {
    int32_t offset;
    uint8_t bits;
  };
  const FilterText& f1_;
  const FilterText& f2_;
  std::string_view pool_;
  std::array<Slot, kSlots> slots_;
};

void Scan(const ArchiveFilter& filter, const ArchiveEntry& entry, std::vector<uint32_t>* rows) {
  const std::string_view index = entry.index;
  const std::string_view records = entry.records;
  // Only a year archive (kind 1) with its whole header is listed.
  if (index.size() < kArchiveYearHeaderSize ||
      static_cast<uint8_t>(index[0]) != kArchiveKindYear) {
    return;
  }
  const int year = DecodeU16(index.data() + kArchiveHeaderYear);
  const FilterText f1(filter.text1);
  const FilterText f2(filter.text2);
  const bool filtering = !f1.empty() || !f2.empty();
  PoolMatchCache cache(f1, f2, entry.pool);

  const auto* base = reinterpret_cast<const uint8_t*>(index.data());
  const size_t size = index.size();
  size_t p = kArchiveYearHeaderSize;
  while (p + 1 < size) {
    const void* marker = std::memchr(base + p, kArchiveEntryMarker, size - p);
    if (marker == nullptr) break;
    const size_t at = static_cast<size_t>(static_cast<const uint8_t*>(marker) - base);
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
    const int32_t path_offset = DecodeI32(r + kCompactRecordingText);
    if (ArchivePoolText(entry.pool, path_offset).empty()) continue;
    const int32_t workstation = DecodeI32(r + kCompactWorkstation);
    if (workstation != 0 && workstation != filter.video_place) continue;

    ArchiveEventTime time;
    time.year = year;
    time.month = prefix[kArchivePrefixMonth];
    time.day = prefix[kArchivePrefixDay];
    time.hour = prefix[kArchivePrefixHour];
    time.minute = prefix[kArchivePrefixMinute];
    time.second = prefix[kArchivePrefixSecond];
    if (!IsValidArchiveEventTime(time)) continue;  // skips only this event

    if (filtering) {
      const uint8_t text_bits = cache.Matches(DecodeI32(r + kCompactObjectText)) |
                                cache.Matches(DecodeI32(r + kCompactCameraText));
      bool m1 = (text_bits & 1) != 0;
      bool m2 = (text_bits & 2) != 0;
      // The date texts are formatted only when a filter still needs them.
      const bool need1 = !m1 && f1.may_match_date;
      const bool need2 = !m2 && f2.may_match_date;
      const bool wanted =
          (need1 || need2) && (filter.and_mode
                                   ? (f1.empty() || m1 || need1) && (f2.empty() || m2 || need2)
                                   : !(m1 || m2));
      if (wanted) {
        ArchiveDateTexts texts;
        FormatArchiveDateTexts(time, &texts);
        if (need1) m1 = f1.In(texts.short_text()) || f1.In(texts.long_text());
        if (need2) m2 = f2.In(texts.short_text()) || f2.In(texts.long_text());
      }
      const bool listed = filter.and_mode ? (f1.empty() || m1) && (f2.empty() || m2) : m1 || m2;
      if (!listed) continue;
    }
    rows->push_back(static_cast<uint32_t>(at));
  }
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
