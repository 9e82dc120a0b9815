// A small HTTP/1.1 server for the control interface: one request per
// connection (the reply closes it), bodies sized by Content-Length, served
// one at a time on the server's own thread. Meant for loopback use by
// scripts and tests; limits keep a misbehaving client from holding it: the
// request head is at most 16 KiB, the body at most 4 MiB, and each read
// waits at most 5 s.
//
// Threads: Start/Stop from one owner thread; the handler runs on the
// server's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "link/wire/tcp_socket.h"

namespace korvel::msgserver {

struct HttpRequest {
  std::string method;
  std::string path;   // percent-decoded, without the query
  std::map<std::string, std::string> query;  // percent-decoded
  std::string body;
};

struct HttpResponse {
  int status = 200;
  std::string body;
  std::string content_type = "application/json";
};

// Decodes %XX escapes (and '+' as a space when `plus_is_space`). False for
// a broken escape.
bool PercentDecode(const std::string& in, bool plus_is_space, std::string* out);

// Parses the request head (request line and headers, without the blank
// line). False for a malformed head.
bool ParseRequestHead(const std::string& head, HttpRequest* out, size_t* content_length);

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  explicit HttpServer(Handler handler) : handler_(std::move(handler)) {}
  ~HttpServer() { Stop(); }

  bool Start(const std::string& address, uint16_t port, std::string* error);
  void Stop();
  uint16_t port() const { return port_; }

 private:
  void Loop();
  void ServeOne(int fd);

  Handler handler_;
  Socket listener_;
  uint16_t port_ = 0;
  std::atomic<bool> running_{false};
  std::thread thread_;
};

}  // namespace korvel::msgserver
