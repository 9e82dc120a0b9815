#include "tests/app/e2e_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace korvel::e2e {

Child::Child(const std::vector<std::string>& argv, const std::string& dir,
             const std::map<std::string, std::string>& env, const std::string& log_path) {
  pid_ = ::fork();
  if (pid_ == 0) {
    ::setpgid(0, 0);
    if (!dir.empty() && ::chdir(dir.c_str()) != 0) _exit(126);
    for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
    const int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    const int null_fd = ::open("/dev/null", O_RDONLY);
    if (null_fd >= 0) ::dup2(null_fd, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    _exit(127);
  }
}

Child::~Child() { Stop(SIGKILL, 5000); }

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Stop(SIGKILL, 5000);
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

bool Child::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void Child::Stop(int signal, int wait_ms) {
  if (pid_ <= 0) return;
  ::kill(pid_, signal);
  for (int waited = 0; waited < wait_ms; waited += 50) {
    if (!Running()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}

namespace {
int Connect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval tv{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}
std::string ReadAll(int fd) {
  std::string out;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, n);
  return out;
}
}  // namespace

int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

std::string Http(int port, const std::string& method, const std::string& path,
                 const std::string& body) {
  const int fd = Connect(port);
  if (fd < 0) return "";
  const std::string request = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                              "Content-Type: application/json\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body;
  ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  const std::string reply = ReadAll(fd);
  ::close(fd);
  const size_t start = reply.find("\r\n\r\n");
  return start == std::string::npos ? "" : reply.substr(start + 4);
}

std::string SendLine(int port, const std::string& line) {
  const int fd = Connect(port);
  if (fd < 0) return "";
  const std::string text = line + "\n";
  ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  char buffer[512];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  return n > 0 ? std::string(buffer, n) : "";
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  ::pclose(pipe);
  return out;
}

}  // namespace korvel::e2e
