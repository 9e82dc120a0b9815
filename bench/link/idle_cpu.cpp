// link_idle_cpu [seconds]: CPU of the idle coordinator and link.
//
// Starts the project's message server in this process (tables "video" and
// "videor", no records), a coordinator with a headless main window, waits
// until the link is registered and the snapshots are in, then reads the CPU
// time of the threads named datab, cl and pingc from /proc/self/task over
// the given number of seconds (default 60) and prints it as a share of one
// core.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "app/core/datab.h"
#include "msgserver/message_server.h"
#include "msgserver/seed_file.h"
#include "tests/link/fake_window.h"

namespace {

using namespace korvel;

// utime + stime in clock ticks per thread name.
std::map<std::string, long> ThreadTicks() {
  std::map<std::string, long> out;
  DIR* d = ::opendir("/proc/self/task");
  if (d == nullptr) return out;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/stat");
    std::string line;
    std::getline(in, line);
    const size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    const std::string name = line.substr(open + 1, close - open - 1);
    std::istringstream rest(line.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) utime = std::stol(field);
      if (i == 15) stime = std::stol(field);
    }
    out[name] += utime + stime;
  }
  ::closedir(d);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("korvel_idle_" + std::to_string(::getpid()));
  fs::create_directories(dir / "temp");

  msgserver::SeedData seed;
  std::string error;
  const auto seed_json = nlohmann::json::parse(R"({"tables": [
      {"name": "video", "fields": [{"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
        {"name": "n_obj", "kind": 1}, {"name": "ip", "kind": 2, "width": 33},
        {"name": "port", "kind": 1}, {"name": "lasttime", "kind": 9}, {"name": "ltime", "kind": 9}]},
      {"name": "videor", "fields": [{"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
        {"name": "n_obj", "kind": 1}, {"name": "url", "kind": 2, "width": 256},
        {"name": "name", "kind": 2, "width": 65}, {"name": "mesto", "kind": 1},
        {"name": "nameobj", "kind": 2, "width": 129}]}]})");
  if (!msgserver::ParseSeed(seed_json, &seed, &error)) {
    std::fprintf(stderr, "seed: %s\n", error.c_str());
    return 1;
  }
  msgserver::ServerOptions so;
  so.port = 0;
  so.data_folder = (dir / "server").string();
  so.verbosity = 0;
  msgserver::MessageServer server(so, std::move(seed));
  if (!server.Start(&error)) {
    std::fprintf(stderr, "server: %s\n", error.c_str());
    return 1;
  }
  std::ofstream(dir / "korvel.ini") << "[ServerHost]\nAddress=127.0.0.1\nPort=" << server.port()
                                    << "\n";

  test::FakeWindow window;
  datab::Options o;
  o.base_dir = dir.string() + "/";
  datab coordinator(window, o);
  coordinator.Start();
  const bool up = test::FakeWindow::WaitFor(
      [&] {
        const nlohmann::json status = server.Status();
        for (const auto& ws : status["workstations"]) {
          if (ws.value("snapshots_acked", nlohmann::json::array()).size() == 2) return true;
        }
        return false;
      },
      15000);
  if (!up) {
    std::fprintf(stderr, "the link did not come up: %s\n", server.Status().dump().c_str());
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));

  const auto before = ThreadTicks();
  const auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const auto after = ThreadTicks();
  const double wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  const double hz = static_cast<double>(::sysconf(_SC_CLK_TCK));

  double total = 0;
  for (const char* name : {"datab", "cl", "pingc"}) {
    const long ticks = (after.count(name) ? after.at(name) : 0) - (before.count(name) ? before.at(name) : 0);
    const double pct = 100.0 * ticks / hz / wall_s;
    total += pct;
    std::printf("%-6s %6.3f %% of one core (%ld ticks)\n", name, pct, ticks);
  }
  std::printf("total  %6.3f %% of one core over %.1f s, link %s\n", total, wall_s,
              coordinator.link() && coordinator.link()->Connected() ? "connected" : "down");

  coordinator.RequestTerminate();
  coordinator.WaitForEnd(nullptr);
  server.Stop();
  fs::remove_all(dir);
  return 0;
}
