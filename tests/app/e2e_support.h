// Helpers of the end-to-end test: child processes, free loopback ports,
// small HTTP and line-protocol clients.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace korvel::e2e {

// A child process, killed (SIGKILL) and reaped when the object goes.
class Child {
 public:
  Child() = default;
  // Starts `argv` in `dir` with `env` added to the environment; output to
  // `log_path`.
  Child(const std::vector<std::string>& argv, const std::string& dir,
        const std::map<std::string, std::string>& env, const std::string& log_path);
  ~Child();
  Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  Child& operator=(Child&& other) noexcept;
  pid_t pid() const { return pid_; }
  bool Running();
  // Sends `signal` and waits up to `wait_ms` for the end; then SIGKILL.
  void Stop(int signal, int wait_ms);

 private:
  pid_t pid_ = -1;
};

// A loopback TCP port nothing listens on now.
int FreePort();
// HTTP/1.1 request to 127.0.0.1:port; returns the body ("" on failure).
std::string Http(int port, const std::string& method, const std::string& path,
                 const std::string& body = "");
// Sends one line to a line-protocol control port and returns the reply line.
std::string SendLine(int port, const std::string& line);
// Runs a shell command and returns its standard output.
std::string Capture(const std::string& command);

}  // namespace korvel::e2e
