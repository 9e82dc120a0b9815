#include "link/wire/tcp_socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "link/wire/frame_io.h"
#include "link/wire/message.h"

namespace korvel {
namespace {

TEST(TcpSocketTest, ConnectAcceptAndExchangeAFrame) {
  uint16_t port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 4, &port);
  ASSERT_TRUE(listener.valid());
  ASSERT_NE(port, 0);

  int error = -1;
  Socket client = ConnectTcp("127.0.0.1", port, kConnectTimeoutMs, &error);
  ASSERT_TRUE(client.valid());
  EXPECT_EQ(error, 0);
  Socket server = AcceptTcp(listener.fd(), 1000);
  ASSERT_TRUE(server.valid());

  const std::string m = BuildMessage(msgLogin, std::string("\x3F\x00", 2), 0);
  ASSERT_TRUE(SendFrame(client.fd(), m, true));
  int32_t chunk = kDefaultPacketSize;
  std::string got;
  ASSERT_EQ(ReceiveFrame(server.fd(), &chunk, &got), ReceiveStatus::kMessage);
  EXPECT_EQ(got, m);
}

TEST(TcpSocketTest, RefusedConnectFails) {
  // A port that was just free: nobody listens there any more.
  uint16_t port = 0;
  {
    Socket probe = ListenTcp("127.0.0.1", 0, 1, &port);
    ASSERT_TRUE(probe.valid());
  }
  int error = 0;
  Socket s = ConnectTcp("127.0.0.1", port, kConnectTimeoutMs, &error);
  EXPECT_FALSE(s.valid());
  EXPECT_EQ(error, ECONNREFUSED);
}

TEST(TcpSocketTest, OnlyDottedAddressesAreAccepted) {
  for (const char* address : {"localhost", "", "127.0.0", "256.1.1.1", "::1"}) {
    int error = 0;
    EXPECT_FALSE(ConnectTcp(address, 1, 100, &error).valid()) << address;
    EXPECT_EQ(error, EINVAL) << address;
  }
}

TEST(TcpSocketTest, CloseAndReleaseLeaveMinusOne) {
  uint16_t port = 0;
  Socket a = ListenTcp("127.0.0.1", 0, 1, &port);
  ASSERT_TRUE(a.valid());
  Socket b = std::move(a);
  EXPECT_EQ(a.fd(), -1);
  EXPECT_TRUE(b.valid());
  const int fd = b.Release();
  EXPECT_EQ(b.fd(), -1);
  Socket c(fd);
  c.Close();
  EXPECT_EQ(c.fd(), -1);
  c.Close();  // twice is harmless
}

TEST(TcpSocketTest, AcceptWithTimeoutGivesUp) {
  uint16_t port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 1, &port);
  ASSERT_TRUE(listener.valid());
  EXPECT_FALSE(AcceptTcp(listener.fd(), 20).valid());
  EXPECT_FALSE(AcceptTcp(-1, 20).valid());
}

TEST(TcpSocketTest, ShutdownWakesABlockedReader) {
  uint16_t port = 0;
  Socket listener = ListenTcp("127.0.0.1", 0, 1, &port);
  Socket client = ConnectTcp("127.0.0.1", port, kConnectTimeoutMs);
  Socket server = AcceptTcp(listener.fd(), 1000);
  ASSERT_TRUE(client.valid());
  ASSERT_TRUE(server.valid());
  ReceiveStatus status = ReceiveStatus::kMessage;
  std::thread reader([&] {
    int32_t chunk = kDefaultPacketSize;
    std::string got;
    status = ReceiveFrame(client.fd(), &chunk, &got);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ShutdownSocket(client.fd());
  reader.join();
  EXPECT_EQ(status, ReceiveStatus::kFailed);
}

}  // namespace
}  // namespace korvel
