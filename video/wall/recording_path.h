// Where a recording goes: the dated folders below the storage folder and
// the file name built from the object, the camera and the time. No Qt.
//
//   <storage>/<year>/<month>/<day>/<object>-<camera>-HH-mm-ss.mp4
//
// Year, month and day are written without leading zeros (2024/3/7). Paths
// here are UTF-8, as on disk.
//
// A file name is made safe whatever the server sent: the nine characters
// : \ / ? * " > < | and every control character become "-", so no name can
// leave its day folder; the name is cut (at a character boundary) to at
// most 250 bytes of UTF-8 with its ".mp4"; and when the file exists already,
// or another open tile records into it, "-2", "-3", ... is added before
// ".mp4", so two cameras of the same names opened in the same second never
// share a file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr size_t kMaxRecordingFileNameBytes = 250;

// The StoragePath setting as a folder prefix: "\" becomes "/", and a
// trailing "/" is added when missing (an empty setting stays empty: the
// working folder).
std::string StorageFolderPrefix(std::string_view storage_path_utf8);

// "<prefix><Y>/<M>/<D>" without a trailing "/".
std::string DayFolderPath(std::string_view prefix, int year, int month, int day);

// Creates the storage folder (with any missing parents), then prefix/Y,
// prefix/Y/M and prefix/Y/M/D, one level at a time, each only when missing. Failures are ignored (the recording reports
// them). Returns whether the day folder exists afterwards.
bool CreateDayFolders(std::string_view prefix, int year, int month, int day);

// nameobj + "-" + name + "-" + long time, with ":" \ / ? * " > < | and the
// control characters (below 0x20, and 0x7F) replaced by "-". UTF-8 in,
// UTF-8 out.
std::string RecordingBaseName(std::string_view nameobj, std::string_view name,
                              std::string_view long_time);

// The base name cut at a UTF-8 character boundary to at most `max_bytes`.
std::string CutUtf8(std::string_view text, size_t max_bytes);

// The full path of the recording in `day_folder`: base (cut so that the
// file name with its suffix and ".mp4" stays within 250 bytes) + ".mp4", or
// with "-2", "-3", ... when `taken(path)` says the path is in use. Gives up
// after 9999 tries and returns the last candidate.
std::string UniqueRecordingPath(std::string_view day_folder, std::string_view base_name,
                                const std::function<bool(const std::string&)>& taken);

// True when something exists at `path` (a file, folder or dangling link).
bool PathExists(const std::string& path);

}  // namespace korvel
