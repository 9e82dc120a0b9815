#include "fakecam/control.h"

#include <sstream>

namespace korvel::fakecam {

CommandResult RunCommand(const std::string& line,
                         const std::vector<std::unique_ptr<RtspCamera>>& cameras) {
  CommandResult result;
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  std::string name;
  std::getline(in >> std::ws, name);
  while (!name.empty() && (name.back() == '\r' || name.back() == ' ')) name.pop_back();

  if (verb.empty()) return result;
  if (verb == "list") {
    for (const auto& camera : cameras) {
      result.reply += camera->Options().name + " " + camera->StateName() + " " + camera->Url() + "\n";
    }
    result.reply += "ok\n";
    return result;
  }
  if (verb == "quit") {
    result.reply = "ok\n";
    result.quit = true;
    return result;
  }
  if (verb != "stop" && verb != "start" && verb != "refuse") {
    result.reply = "error unknown command " + verb + "\n";
    return result;
  }
  bool found = false;
  std::string error;
  for (const auto& camera : cameras) {
    if (name != "*" && camera->Options().name != name) continue;
    found = true;
    if (verb == "stop") {
      camera->Stop();
    } else if (verb == "refuse") {
      camera->Refuse();
    } else {
      std::string why;
      if (!camera->Start(&why)) error += camera->Options().name + ": " + why + "; ";
    }
  }
  if (!found) {
    result.reply = "error no camera " + name + "\n";
  } else if (!error.empty()) {
    result.reply = "error " + error + "\n";
  } else {
    result.reply = "ok\n";
  }
  return result;
}

}  // namespace korvel::fakecam
