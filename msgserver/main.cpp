// msgserver: the replacement message server for Korvel workstations.
//
// Threads: the main thread parses the command line, starts the server and
// the control interface, then waits for SIGINT or SIGTERM and stops both.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "msgserver/control_api.h"
#include "msgserver/message_server.h"
#include "msgserver/seed_file.h"

namespace {

using korvel::msgserver::CompressMode;

constexpr const char* kUsage = R"(usage: msgserver [options]

  --seed FILE            tables and settings block to start with (JSON); without
                         it the server offers empty "video" and "videor" tables
  --data DIR             folder of the camera event archives (default
                         msgserver-data; created when missing)
  --address A            address for workstations (default 127.0.0.1)
  --port P               port for workstations (default 12543; 0 picks one)
  --control-address A    address of the HTTP control interface (default
                         127.0.0.1)
  --control-port P       its port (default 12544; 0 picks one; -1 turns it off)
  --compress MODE        replies compressed: never, always, or mirror (as the
                         workstation's last frame; default)
  -q, --quiet            log connections and errors only
  -v, --verbose          log every frame, empty polls too
  -h, --help             this text
)";

bool ParsePort(const char* text, int lo, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || v < lo || v > 65535) return false;
  *out = static_cast<int>(v);
  return true;
}

// The tables the program relies on, without records.
nlohmann::json MinimalSeed() {
  return nlohmann::json::parse(R"({"tables": [
    {"name": "video", "fields": [
      {"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
      {"name": "n_obj", "kind": 1}, {"name": "name", "kind": 2, "width": 65},
      {"name": "ip", "kind": 2, "width": 33}, {"name": "port", "kind": 1},
      {"name": "url", "kind": 2, "width": 256},
      {"name": "lasttime", "kind": 9}, {"name": "ltime", "kind": 9}]},
    {"name": "videor", "fields": [
      {"name": "n_abs", "kind": 1}, {"name": "p_d", "kind": 3},
      {"name": "n_obj", "kind": 1}, {"name": "url", "kind": 2, "width": 256},
      {"name": "name", "kind": 2, "width": 65}, {"name": "mesto", "kind": 1},
      {"name": "nameobj", "kind": 2, "width": 129}]}]})");
}

}  // namespace

int main(int argc, char** argv) {
  korvel::msgserver::ServerOptions options;
  std::string seed_path;
  std::string control_address = "127.0.0.1";
  int control_port = 12544;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) {
        std::cerr << "msgserver: " << name << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    int port = 0;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--seed") {
      seed_path = value("--seed");
    } else if (arg == "--data") {
      options.data_folder = value("--data");
    } else if (arg == "--address") {
      options.address = value("--address");
    } else if (arg == "--port") {
      if (!ParsePort(value("--port"), 0, &port)) {
        std::cerr << "msgserver: bad --port\n";
        return 2;
      }
      options.port = static_cast<uint16_t>(port);
    } else if (arg == "--control-address") {
      control_address = value("--control-address");
    } else if (arg == "--control-port") {
      if (!ParsePort(value("--control-port"), -1, &control_port)) {
        std::cerr << "msgserver: bad --control-port\n";
        return 2;
      }
    } else if (arg == "--compress") {
      const std::string mode = value("--compress");
      if (mode == "never") options.compress = CompressMode::kNever;
      else if (mode == "always") options.compress = CompressMode::kAlways;
      else if (mode == "mirror") options.compress = CompressMode::kMirror;
      else {
        std::cerr << "msgserver: --compress takes never, always or mirror\n";
        return 2;
      }
    } else if (arg == "-q" || arg == "--quiet") {
      options.verbosity = 0;
    } else if (arg == "-v" || arg == "--verbose") {
      options.verbosity = 2;
    } else {
      std::cerr << "msgserver: unknown option " << arg << "\n" << kUsage;
      return 2;
    }
  }

  korvel::msgserver::SeedData seed;
  std::string error;
  const bool seeded = seed_path.empty() ? korvel::msgserver::ParseSeed(MinimalSeed(), &seed, &error)
                                        : korvel::msgserver::LoadSeedFile(seed_path, &seed, &error);
  if (!seeded) {
    std::cerr << "msgserver: " << error << "\n";
    return 1;
  }

  // Signals are taken by sigwait below; every thread started from here on
  // inherits the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  korvel::msgserver::MessageServer server(options, std::move(seed));
  if (!server.Start(&error)) {
    std::cerr << "msgserver: " << error << "\n";
    return 1;
  }
  korvel::msgserver::HttpServer control(
      [&server](const korvel::msgserver::HttpRequest& r) {
        return korvel::msgserver::HandleControlRequest(server, r);
      });
  if (control_port >= 0) {
    if (!control.Start(control_address, static_cast<uint16_t>(control_port), &error)) {
      std::cerr << "msgserver: control interface: " << error << "\n";
      return 1;
    }
    std::cerr << "msgserver: control interface on http://" << control_address << ":"
              << control.port() << "/status\n";
  }
  int sig = 0;
  sigwait(&signals, &sig);
  std::cerr << "msgserver: " << strsignal(sig) << ", stopping\n";
  control.Stop();
  server.Stop();
  return 0;
}
