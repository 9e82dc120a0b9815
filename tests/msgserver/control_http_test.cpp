// The control interface over real HTTP on loopback, and the request parser.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>

#include "link/wire/frame_io.h"
#include "link/wire/tcp_socket.h"
#include "msgserver/control_api.h"
#include "msgserver/http_server.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

// One request, the whole response back (the server closes after it).
std::string HttpCall(uint16_t port, const std::string& request) {
  Socket s = ConnectTcp("127.0.0.1", port, 2000);
  if (!s || !SendAll(s.fd(), request)) return {};
  std::string out;
  char buf[4096];
  while (true) {
    const ssize_t n = ::recv(s.fd(), buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

TEST(HttpRequestHead, ParsesMethodPathQueryAndLength) {
  HttpRequest r;
  size_t length = 0;
  ASSERT_TRUE(ParseRequestHead(
      "PATCH /tables/%D0%B2/records/3?since=12&x=a+b HTTP/1.1\r\nHost: x\r\nContent-Length: 17\r\n",
      &r, &length));
  EXPECT_EQ(r.method, "PATCH");
  EXPECT_EQ(r.path, "/tables/\xD0\xB2/records/3");
  EXPECT_EQ(r.query["since"], "12");
  EXPECT_EQ(r.query["x"], "a b");
  EXPECT_EQ(length, 17u);
  for (const char* bad : {"", "GET", "GET nopath HTTP/1.1", "GET / FTP/1", "GET /%zz HTTP/1.1",
                          "GET /%4 HTTP/1.1", "POST / HTTP/1.1\r\nContent-Length: 12x"}) {
    EXPECT_FALSE(ParseRequestHead(bad, &r, &length)) << bad;
  }
}

TEST(ControlHttp, ServesRequestsAndRefusesOversizeBodies) {
  char tmpl[] = "/tmp/msgserver-http-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  SeedData seed;
  std::string error;
  ASSERT_TRUE(LoadSeedFile(KORVEL_MSGSERVER_DEMO_SEED, &seed, &error)) << error;
  ServerOptions o;
  o.port = 0;
  o.data_folder = tmpl;
  o.verbosity = 0;
  MessageServer server(o, std::move(seed));
  ASSERT_TRUE(server.Start(&error)) << error;
  HttpServer http([&server](const HttpRequest& r) { return HandleControlRequest(server, r); });
  ASSERT_TRUE(http.Start("127.0.0.1", 0, &error)) << error;

  const std::string body = R"({"mesto": 3})";
  std::string resp = HttpCall(http.port(), "PATCH /tables/videor/records/1 HTTP/1.1\r\nContent-Length: " +
                                               std::to_string(body.size()) + "\r\n\r\n" + body);
  ASSERT_EQ(resp.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << resp;
  const json rec = json::parse(resp.substr(resp.find("\r\n\r\n") + 4));
  EXPECT_EQ(rec["mesto"], 3);

  resp = HttpCall(http.port(), "GET /tables/nosuch HTTP/1.1\r\n\r\n");
  EXPECT_EQ(resp.rfind("HTTP/1.1 404", 0), 0u) << resp;
  resp = HttpCall(http.port(), "POST /tables/videor/records HTTP/1.1\r\nContent-Length: 3\r\n\r\n{x}");
  EXPECT_EQ(resp.rfind("HTTP/1.1 400", 0), 0u) << resp;
  resp = HttpCall(http.port(), "POST /settings HTTP/1.1\r\nContent-Length: 999999999\r\n\r\n");
  EXPECT_EQ(resp.rfind("HTTP/1.1 413", 0), 0u) << resp;
  resp = HttpCall(http.port(), "GET /status HTTP/1.1\r\n\r\n");
  EXPECT_EQ(resp.rfind("HTTP/1.1 200", 0), 0u) << resp;

  http.Stop();
  server.Stop();
  std::filesystem::remove_all(tmpl);
}

}  // namespace
}  // namespace korvel::msgserver
