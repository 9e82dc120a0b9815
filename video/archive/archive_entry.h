// The year archive in memory (the archive entry) and the archive list built
// from it.
//
// The entry mirrors the three files of one year archive ("vi8_yyyy" .fm8,
// .fp8, .fz8 in `<base_dir>/temp/`, layouts in archive_format.h). It is
// loaded by LoadArchiveYear, extended by the link's archive chunks, and
// listed by RebuildArchiveRows into `archive_rows`, from which the archive
// grid draws every cell straight from the arrays.
//
// Threads and the lock. The entry belongs to the main thread: only the main
// thread changes it (LoadArchiveYear, archive chunks, RebuildArchiveRows),
// and it does so while holding `mutex`. The one reader on another thread is
// the link thread building a poll: it takes `mutex` to read `active`,
// `name` and the three sizes together (ReadArchivePollSizes), so a poll
// never reports the sizes of one year under the name of another. Reads on
// the main thread (drawing, selection, the rebuild's scan) need no lock,
// since nothing else writes. `dirty` is atomic and may be set from any
// thread. The coordinator creates the entry; the main thread uses it until
// the coordinator is destroyed.
//
// Everything in the arrays comes from the message server and is untrusted:
// every function here checks each offset against the array it points into
// and reads nothing out of bounds, whatever the bytes hold.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"
#include "video/archive/archive_format.h"

namespace korvel {

struct ArchiveEntry {
  // Held by the main thread while it changes any member below, and by the
  // link thread while it reads `active`, `name` and the array sizes.
  mutable std::mutex mutex;

  // A date whose year selects the archive (main thread; the coordinator
  // sets it to the local time at start, the year buttons step it).
  DateTime archive_date = 0;
  // True once the files of the archive date's year are in memory; the link
  // leaves the archive out of its polls while false.
  bool active = false;
  // "vi8_" + four-digit year (Windows-1251, at most 30 bytes).
  std::string name;
  std::string pool;     // string pool, .fm8
  std::string records;  // record file, .fp8
  std::string index;    // index file, .fz8
  // From the period header (see LoadArchiveYear for the rule).
  uint8_t header_length = 0;
  int16_t year = 0;
  uint8_t kind = 0;
  // For grid row r >= 1, element r - 1 is the byte position in `index` of
  // the entry (its 0xFF marker) that row shows.
  std::vector<uint32_t> archive_rows;
  // Rebuild the list at the next main-window timer tick. Set by the archive
  // controls and by the link; cleared by the timer before the rebuild.
  std::atomic<bool> dirty{false};
};

// ---- loading ---------------------------------------------------------------

// "vi8_" + the year with four digits ("vi8_2024"); years are 1..9999.
std::string ArchiveName(int year);

// Loads the three files of `year` from `<base_dir>/temp/` (base_dir with or
// without a trailing '/') into the entry: clears `active`, sets `name`,
// reads the pool, the records and the index (a file that is missing, is not
// a regular file, is a symbolic link, cannot be read or exceeds
// kArchiveFileCeiling gives an empty array), applies the header rule, sets
// `active`. The files are read before the lock is taken; the members are
// replaced under `mutex`.
//
// Header rule: kind = the index's first byte (0 for an empty index).
//   kind 1 with the 3-byte header present: header length 3, year from the
//     header;
//   kind 2..5 with its header present: header length kind + 2, year from
//     the header (such an index is not listed);
//   an empty index, a header cut short or any other kind: header length 3
//     and the year being loaded.
// Main thread (or before any other thread can see the entry).
void LoadArchiveYear(std::string_view base_dir, int year, ArchiveEntry* entry);

// The name and sizes the link reports in a poll, read together under the
// entry's lock. False (nothing to report) while the entry is not active.
// Any thread.
struct ArchivePollSizes {
  std::string name;
  size_t pool_size = 0;
  size_t records_size = 0;
  size_t index_size = 0;
};
bool ReadArchivePollSizes(const ArchiveEntry& entry, ArchivePollSizes* out);

// ---- the list --------------------------------------------------------------

// The filters of the archive view. Texts are Windows-1251 (the view converts
// what the operator typed); case does not matter.
struct ArchiveFilter {
  std::string text1;      // Edit1
  std::string text2;      // Edit2
  bool and_mode = true;   // RadioButton1 "И"; false: RadioButton2 "ИЛИ"
  int32_t video_place = 1;  // this workstation; events of others are hidden
};

// Refills `archive_rows` from the index, in index order. An index whose kind
// is not 1, or whose header is cut short, lists nothing. Scan: from the end
// of the header, find the next 0xFF marker; the entry is the 7 bytes there
// (a cut-off entry ends the scan); the event is listed when its time prefix
// and compact record lie inside the record file, its type is 96, its listed
// byte is 1, its recording path is not empty, its workstation is 0 or
// `video_place`, its date is a real one (month 13 skips only that event),
// and the filters pass: a filter matches when it is not empty and occurs
// (FindTextNoCase) in the object text, the camera text, "dd.mm hh:nn:ss" or
// "dd.mm.yyyy hh:nn:ss" (the time left out at midnight). With both filters
// empty every event passes; AND mode needs each non-empty filter to match;
// OR mode needs one of them to match. The new rows replace the old under
// `mutex`. Main thread.
void RebuildArchiveRows(const ArchiveFilter& filter, ArchiveEntry* entry);

// Rows of the grid including its header row: the listed events + 1, but at
// least 2, so an empty list shows one blank row.
int ArchiveGridRowCount(const ArchiveEntry& entry);

// ---- one grid row, straight from the arrays ---------------------------------

// The fields of the event a grid row shows. Texts are views into the
// entry's pool (Windows-1251), valid until the entry next changes.
struct ArchiveRowView {
  uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::string_view object;          // "Объект" column
  std::string_view camera;          // "Камера" column, before the suffix
  std::string_view recording_path;  // as journaled
  int32_t workstation = 0;
  bool show_workstation = false;    // flag byte 0: append " АРМ №" + number
};

// Reads grid row `row` (1 = first data row). False when the row is not in
// `archive_rows`, its position lies outside the index, the entry is cut
// off, its type is not 96, or its event does not lie inside the record
// file: the cells then stay empty. Checked again on every call, since the
// arrays and the list can change between a rebuild and a repaint.
bool ReadArchiveRow(const ArchiveEntry& entry, int row, ArchiveRowView* out);

// Column 0: "dd.mm hh:nn:ss" with two digits each ("07.03 14:05:09").
std::string ArchiveRowTimeText(const ArchiveRowView& row);
// Column 2, Windows-1251: the camera text, followed, when the flag byte is
// 0, by " АРМ №" and the workstation number ("Подъезд 2 АРМ №1").
std::string ArchiveRowCameraText(const ArchiveRowView& row);

// The header row's texts (UTF-8): "Дата время", "Объект", "Камера".
std::string_view ArchiveColumnTitle(int column);

// What selecting a row does to the play button ("Просмотр").
enum class PlayButtonState {
  kDisabled,  // no list, or the row lies outside the index
  kEnabled,   // a type-96 row whose recording exists as a local regular file
  kKeep,      // an entry of another type: the button keeps its state
};
// `base_dir` is the working folder a relative recording path is taken from.
PlayButtonState SelectArchiveRow(const ArchiveEntry& entry, int row, std::string_view base_dir);

// The file to play for a recording path from the archive: converted from
// Windows-1251 to UTF-8, a relative path taken from `base_dir`. Empty when
// the path is empty, names a URL ("scheme://...") rather than a file, or
// does not lead to a regular file.
std::string LocalRecordingFile(std::string_view recording_path_cp1251, std::string_view base_dir);

// The pool text at `offset` (a view into `pool`): empty for an offset that
// is negative or past the pool's last byte; a length byte that runs past
// the end is cut at the end.
std::string_view ArchivePoolText(std::string_view pool, int64_t offset);

}  // namespace korvel
