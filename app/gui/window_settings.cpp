#include "app/gui/window_settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <random>

#include "platform/codepage.h"
#include "platform/settings.h"
#include "video/wall/recording_path.h"

namespace korvel {

WindowSettings ReadWindowSettings(const std::string& ini_path, const std::string& base_dir) {
  const Settings ini = Settings::Load(ini_path);
  WindowSettings s;
  s.dfsm = ini.ReadInteger("Main", "DFSM", 0);
  s.recording = ini.ReadBool("Main", "Recording", false);
  std::string storage = Cp1251ToUtf8(ini.ReadString("Main", "StoragePath", "storage\\"));
  storage = StorageFolderPrefix(storage);
  // A relative folder is the working folder's; written relative (shorter in
  // the journal's 255-byte path) when the working folder is the current one.
  if (base_dir != CurrentWorkingFolder() && (storage.empty() || storage.front() != '/')) {
    storage = base_dir + storage;
  }
  s.storage_path = storage;
  s.video_place = ini.ReadInteger("main", "VideoPlace", 1);
  return s;
}

std::string DrawClosePassword() {
  std::mt19937 generator(static_cast<uint32_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<int> below(0, 89998);
  return std::to_string(below(generator) + 10000);
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  return folder;
}

std::string CurrentWorkingFolder() {
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return "./";
  return WithTrailingSlash(buffer);
}

void EnsureTempFolder(const std::string& base_dir) {
  const std::string temp = base_dir + "temp";
  struct stat st {};
  if (::stat(temp.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
  ::mkdir(temp.c_str(), 0775);
}

}  // namespace korvel
