// What the main window reads at start: its four keys of korvel.ini, the
// working folder, and the close password it draws. No Qt.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

struct WindowSettings {
  int32_t dfsm = 0;                 // Main/DFSM: monitor for full screen
  bool recording = false;           // Main/Recording
  std::string storage_path = "storage/";  // Main/StoragePath, UTF-8, "\" as "/"
  int32_t video_place = 1;          // main/VideoPlace
};

// Reads Main/DFSM, Main/Recording, Main/StoragePath and main/VideoPlace, in
// that order, from the settings file at `ini_path` (defaults when it is
// missing or a value does not parse). A relative StoragePath is taken from
// `base_dir`.
WindowSettings ReadWindowSettings(const std::string& ini_path, const std::string& base_dir);

// The close password: a pseudo-random number 10000..99998 from a generator
// seeded with the clock, as five decimal digits.
std::string DrawClosePassword();

// The process's current directory with a trailing "/".
std::string CurrentWorkingFolder();

// `folder` with a trailing "/" added when missing.
std::string WithTrailingSlash(std::string folder);

// Creates `<base_dir>temp/` when missing; a failure is ignored.
void EnsureTempFolder(const std::string& base_dir);

}  // namespace korvel
