// The control commands of fakecam, one per line, from standard input or from
// a loopback TCP control port:
//
//   list               one line per camera: "<name> <state> <url>"
//   stop <name>        drop the camera's viewers and its stream; port stays open
//   start <name>       serve the stream again (and reopen a closed port)
//   refuse <name>      close the camera's port: connections are refused
//   quit               end the program
//
// Each command is answered with lines ending in one line "ok" or
// "error <reason>". <name> is the camera's name as given on the command line;
// "*" means every camera.
//
// Threads: GLib main loop thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fakecam/rtsp_camera.h"

namespace korvel::fakecam {

struct CommandResult {
  std::string reply;  // every line ends in '\n'
  bool quit = false;
};

CommandResult RunCommand(const std::string& line,
                         const std::vector<std::unique_ptr<RtspCamera>>& cameras);

}  // namespace korvel::fakecam
