// What the link thread `cl` needs of the rest of the program: the
// coordinator's tables, archive entry and settings block, and the main
// window. The coordinator `datab` implements it; link tests use a fake.
//
// The link decides on which thread each operation runs; each method says
// where it is called:
// - "main thread": the link calls it inside RunOnMainThread and waits;
// - "link thread": called directly on the link thread.
// Table operations take the table lock themselves, for their whole length.
// The link never holds a lock of its own while it calls the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/wire/payloads.h"

namespace korvel {

class LinkHost {
 public:
  virtual ~LinkHost() = default;

  // ---- any thread ----

  // Runs `work` on the main thread and returns once it has run (directly
  // when called on the main thread).
  virtual void RunOnMainThread(std::function<void()> work) = 0;
  // The main window's published link-up flag (after every attempt).
  virtual void SetLinkUp(bool up) = 0;

  // ---- main thread ----

  // Advances the activity counter (15 wraps to 0) and repaints the status bar.
  virtual void ActivityTick() = 0;
  // Repaints the status bar.
  virtual void RepaintStatus() = 0;
  // After a successful connection: LoadArchiveYear into the archive entry,
  // set the archive-dirty flag and mark the entry active.
  virtual void ReloadArchiveYear() = 0;
  // Applies one archive chunk (header already read; `blocks` holds the
  // bytes that follow it in the reply, at most the sum of its positive
  // lengths).
  virtual void ApplyArchiveChunk(const ArchiveChunkHeader& header, std::string_view blocks) = 0;
  // Replaces the 512-byte server settings block and sets its received flag.
  // REQUIRES: block.size() == 512.
  virtual void StoreServerSettings(std::string_view block) = 0;

  // Table handlers; each takes the table lock.
  // Loads the snapshot at the start of `bytes`; returns the bytes it read.
  virtual size_t LoadSnapshot(std::string_view bytes) = 0;
  // Record update (whole payload, name slot first) for the first table of
  // that name.
  virtual void ApplyRecordUpdate(std::string_view payload) = 0;
  // Edit-done notice: runs the handler of every table of that name;
  // returns how many tables had it (the link makes a poll due for each).
  virtual int ApplyEditDone(std::string_view table_name) = 0;
  // Table list: AddTable for each line (CR, LF or CR LF end a line).
  virtual void AddTables(std::string_view list_text) = 0;
  // msgDropAndClear: releases every table (the reset).
  virtual void ResetTables() = 0;

  // ---- link thread ----

  // Deletion notice for every table of that name; takes the table lock.
  virtual void ApplyDeletionNotice(const std::string& table_name, int32_t n_abs) = 0;
  // The archive entry's name and array sizes for the poll, read under the
  // lock the entry shares with the archive work. False when the entry is
  // not active (the poll then carries no payload).
  virtual bool ArchiveSizesForPoll(ArchiveSizes* out) = 0;
};

}  // namespace korvel
