// The server's camera event archives, by name, in one data folder.
//
// Year archives ("vi8_" or "si8_" and four digits) are the three files of
// video/archive/archive_format.h, built in memory by the archive writer and
// appended to disk as events arrive (the memory copy is what workstations
// are served; a failed write is retried with the next event); from
// the sizes a workstation reports in its polls the store builds the archive
// chunks that bring the workstation's copy up to the server's. Every other
// archive name made of letters, digits and '_' (the day archives
// "sk8_yyyymmdd") keeps its records as they came in <name>.cev. Other names
// (path separators, dots, empty) are refused: names come from the network
// and become file names.
//
// Not thread-safe: the server calls it under its state lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/wire/payloads.h"
#include "msgserver/camera_event_reader.h"
#include "video/archive/archive_writer.h"

namespace korvel::msgserver {

// The three files of one year archive (a workstation's copy, in tests).
struct YearArchiveFiles {
  std::string pool;     // .fm8
  std::string records;  // .fp8
  std::string index;    // .fz8
};

class ArchiveStore {
 public:
  // `folder` is created when missing. Existing archives in it are opened
  // when first used.
  explicit ArchiveStore(std::string folder);

  const std::string& folder() const { return folder_; }

  // Year from a year archive name ("vi8_2026" -> 2026), or 0.
  static int YearOfArchiveName(const std::string& name);
  // Letters, digits and '_', 1..30 bytes.
  static bool IsSafeArchiveName(const std::string& name);

  // Stores one event in the archive its record names. False with *error
  // when the name is refused or a file cannot be written (the memory copy
  // then stays as the files are).
  bool Append(const CameraEventRecord& event, std::string_view raw, std::string* error);

  // The year archive of that name, or nullptr when it has no events yet.
  const ArchiveWriter* Find(const std::string& name);

  // Chunk payloads that bring a copy of the reported sizes up to the
  // server's archive, carrying at most about `max_bytes` of file data (at
  // least one byte per chunk when anything is missing). A block whose
  // reported size exceeds the server's gets length 0 (the workstation
  // empties its copy and the next poll resends it from the start); a block
  // that matches gets -1 (left alone). The index block goes only with the
  // complete pool and record tails, so a workstation never holds an index
  // entry whose record it lacks. Empty when nothing is missing.
  std::vector<std::string> ChunksFor(const ArchiveSizes& sizes, size_t max_bytes);

  // Names and sizes of the year archives opened so far, and of those on
  // disk.
  std::vector<ArchiveSizes> List();

 private:
  struct YearArchive {
    explicit YearArchive(uint16_t year) : writer(year) {}
    ArchiveWriter writer;  // the three files as workstations get them
    // Bytes of each file known to be on disk; the rest is written by Flush.
    size_t disk_pool = 0, disk_records = 0, disk_index = 0;
  };

  YearArchive* Open(const std::string& name, bool create);
  bool Flush(const std::string& name, YearArchive* a, std::string* error);
  std::string PathOf(const std::string& name, std::string_view extension) const;

  std::string folder_;
  std::map<std::string, std::unique_ptr<YearArchive>> year_archives_;
};

}  // namespace korvel::msgserver
