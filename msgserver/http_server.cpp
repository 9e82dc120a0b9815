#include "msgserver/http_server.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <sstream>

#include "link/wire/frame_io.h"

namespace korvel::msgserver {
namespace {

constexpr size_t kMaxHead = 16 * 1024;
constexpr size_t kMaxBody = 4 * 1024 * 1024;
constexpr int kReadWaitMs = 5000;

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 409: return "Conflict";
    case 413: return "Payload Too Large";
    default: return "Error";
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads what is there within the wait; 0 on a closed stream, -1 on error or
// timeout.
long ReadSome(int fd, char* buf, size_t max) {
  pollfd p{fd, POLLIN, 0};
  int r;
  do {
    r = ::poll(&p, 1, kReadWaitMs);
  } while (r < 0 && errno == EINTR);
  if (r <= 0) return -1;
  ssize_t n;
  do {
    n = ::recv(fd, buf, max, 0);
  } while (n < 0 && errno == EINTR);
  return n;
}

}  // namespace

bool PercentDecode(const std::string& in, bool plus_is_space, std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '%') {
      if (i + 2 >= in.size()) return false;
      const int hi = HexDigit(in[i + 1]), lo = HexDigit(in[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out->push_back(static_cast<char>(hi * 16 + lo));
      i += 2;
    } else if (in[i] == '+' && plus_is_space) {
      out->push_back(' ');
    } else {
      out->push_back(in[i]);
    }
  }
  return true;
}

bool ParseRequestHead(const std::string& head, HttpRequest* out, size_t* content_length) {
  std::istringstream lines(head);
  std::string line;
  if (!std::getline(lines, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream first(line);
  std::string target, version;
  if (!(first >> out->method >> target >> version) || version.rfind("HTTP/", 0) != 0 ||
      target.empty() || target[0] != '/') {
    return false;
  }
  const size_t q = target.find('?');
  if (!PercentDecode(target.substr(0, q), false, &out->path)) return false;
  if (q != std::string::npos) {
    std::istringstream params(target.substr(q + 1));
    std::string pair;
    while (std::getline(params, pair, '&')) {
      const size_t eq = pair.find('=');
      std::string k, v;
      if (!PercentDecode(pair.substr(0, eq), true, &k) ||
          !PercentDecode(eq == std::string::npos ? "" : pair.substr(eq + 1), true, &v)) {
        return false;
      }
      out->query[k] = v;
    }
  }
  *content_length = 0;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name == "content-length") {
      const std::string value = line.substr(colon + 1);
      char* end = nullptr;
      const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
      while (end != nullptr && *end == ' ') ++end;
      if (end == value.c_str() || (end != nullptr && *end != '\0')) return false;
      *content_length = static_cast<size_t>(std::min<unsigned long long>(n, SIZE_MAX));
    }
  }
  return true;
}

bool HttpServer::Start(const std::string& address, uint16_t port, std::string* error) {
  listener_ = ListenTcp(address, port, 8, &port_);
  if (!listener_) {
    *error = "cannot listen on " + address + ":" + std::to_string(port);
    return false;
  }
  running_ = true;
  thread_ = std::thread([this] { Loop(); });
  return true;
}

void HttpServer::Stop() {
  if (!running_.exchange(false)) return;
  ShutdownSocket(listener_.fd());  // wakes the accept wait
  if (thread_.joinable()) thread_.join();
  listener_.Close();
}

void HttpServer::Loop() {
  while (running_) {
    Socket s = AcceptTcp(listener_.fd(), 200);
    if (s) ServeOne(s.fd());
  }
}

void HttpServer::ServeOne(int fd) {
  std::string data;
  size_t head_end = std::string::npos;
  char buf[4096];
  auto respond = [fd](const HttpResponse& r) {
    std::string out = "HTTP/1.1 " + std::to_string(r.status) + " " + Reason(r.status) +
                      "\r\nContent-Type: " + r.content_type +
                      "\r\nContent-Length: " + std::to_string(r.body.size()) +
                      "\r\nConnection: close\r\n\r\n" + r.body;
    SendAll(fd, out, kReadWaitMs);
  };
  while ((head_end = data.find("\r\n\r\n")) == std::string::npos) {
    if (data.size() > kMaxHead) return respond({413, "{\"error\":\"request head too large\"}\n"});
    const long n = ReadSome(fd, buf, sizeof buf);
    if (n <= 0) return;
    data.append(buf, static_cast<size_t>(n));
  }
  HttpRequest req;
  size_t length = 0;
  if (!ParseRequestHead(data.substr(0, head_end), &req, &length)) {
    return respond({400, "{\"error\":\"malformed request\"}\n"});
  }
  if (length > kMaxBody) return respond({413, "{\"error\":\"body too large\"}\n"});
  req.body = data.substr(head_end + 4);
  while (req.body.size() < length) {
    const long n = ReadSome(fd, buf, std::min(sizeof buf, length - req.body.size()));
    if (n <= 0) return;
    req.body.append(buf, static_cast<size_t>(n));
  }
  req.body.resize(std::min(req.body.size(), length));
  respond(handler_(req));
}

}  // namespace korvel::msgserver
