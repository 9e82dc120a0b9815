// The link's connection loop, step by step, against a scripted server on a
// loopback port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "fake_link_host.h"
#include "link/session/cl.h"
#include "link/session/link_log.h"
#include "platform/counted_text.h"
#include "platform/tick.h"
#include "script_server.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::FakeLinkHost;
using test::Reply;
using test::ScriptServer;

// Answers the greeting with msgLoginAccepted and everything else with an
// empty poll reply.
Reply LoginThenEmpty(const std::string& m, int) {
  if (MessageType(m) == msgClientVersion) return Reply::Message(msgLoginAccepted);
  return Reply::Message(msgPoll);
}

class LinkStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("korvel_step_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<cl> MakeLink(uint16_t port, cl::Options o = {}) {
    std::ofstream(dir_ / "korvel.ini") << "[ServerHost]\r\nAddress=127.0.0.1\r\nPort=" << port
                                       << "\r\n[main]\r\nPlace=3\r\n";
    o.base_dir = dir_.string() + "/";
    o.version_text = "8.1";
    auto link = std::make_unique<cl>(host_, o);
    link->ReadStartSettings();
    link->SetEnabled(true);
    return link;
  }
  // Steps until registered: connect, then the four greeting messages.
  void Greet(cl& link) {
    for (int i = 0; i < 5; ++i) link.LinkStep();
  }
  std::string Log() {
    std::ifstream in(dir_ / "data.log", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
  FakeLinkHost host_;
};

TEST_F(LinkStepTest, GreetingFollowsMessagesQueuedWhileDown) {
  ScriptServer server(LoginThenEmpty);
  auto link = MakeLink(server.port());
  link->PostToServer(msgCameraEvent, "early-0");
  link->PostToServer(msgCameraEvent, "early-1");
  link->LinkStep();  // connects and queues the greeting
  ASSERT_TRUE(link->Connected());
  EXPECT_TRUE(host_.link_up.load());
  ASSERT_FALSE(host_.Calls().empty());
  EXPECT_EQ(host_.Calls()[0].what, "reload");  // the archive year is reloaded
  for (int i = 0; i < 6; ++i) link->LinkStep();
  const auto got = server.Received();
  ASSERT_EQ(got.size(), 6u);
  const uint32_t want[] = {msgCameraEvent, msgCameraEvent, msgLogin,
                           msgClientFlags, msgClientPlace, msgClientVersion};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(MessageType(got[i]), want[i]) << i;
    EXPECT_EQ(DecodeU64(got[i].data() + kMessageSequenceOffset), i) << i;
  }
  EXPECT_EQ(MessagePayload(got[2]), std::string("\x3F\x00", 2));
  EXPECT_EQ(MessagePayload(got[4]), "\x03");
  EXPECT_EQ(MessagePayload(got[5]), std::string("\x08\0\0\0\0\0\x01\0", 8));
  EXPECT_EQ(link->NextSequence(), 6u);

  // Registered and idle: a poll once PollPeriod has passed, sequence 0,
  // without payload while the archive entry is not active...
  link->SetLastSendTick(TickMs() - 1001);
  link->LinkStep();
  ASSERT_EQ(server.Received().size(), 7u);
  std::string poll = server.Received().back();
  EXPECT_EQ(MessageType(poll), msgPoll);
  EXPECT_EQ(DecodeU64(poll.data() + kMessageSequenceOffset), 0u);
  EXPECT_EQ(MessageLengthField(poll), 0);
  // ... and with the archive sizes record once it is.
  host_.archive_active = true;
  host_.sizes = {"vi8_2026", 1, 2, 3};
  link->SetLastSendTick(TickMs() - 1001);
  link->LinkStep();
  poll = server.Received().back();
  ASSERT_EQ(MessageLengthField(poll), 47);
  EXPECT_EQ(DecodeI32(MessagePayload(poll).data()), 1);
  // No poll before PollPeriod has passed.
  link->LinkStep();
  EXPECT_EQ(server.Received().size(), 8u);
}

TEST_F(LinkStepTest, PollTimerFollowsTheWrapRule) {
  ScriptServer server(LoginThenEmpty);
  auto link = MakeLink(server.port());
  Greet(*link);
  const size_t before = server.Received().size();
  link->SetLastSendTick(TickMs());
  link->LinkStep();
  EXPECT_EQ(server.Received().size(), before);  // 0 ms since the last send
  // A start above the counter means the counter wrapped: count from 0.
  link->SetLastSendTick(TickMs() + 100000);
  link->LinkStep();
  ASSERT_EQ(server.Received().size(), before + 1);
  EXPECT_EQ(MessageType(server.Received().back()), msgPoll);
}

TEST_F(LinkStepTest, EditDoneMakesAPollDueAndAQueuedMessageStandsInForIt) {
  std::string videor;
  PutNameSlot(&videor, "videor", 8);
  ScriptServer server([&](const std::string& m, int c) {
    if (MessageType(m) == msgCameraEvent && MessagePayload(m) == "edit") {
      return Reply::Message(msgEditDoneNotice, videor);
    }
    return LoginThenEmpty(m, c);
  });
  auto link = MakeLink(server.port());
  Greet(*link);
  link->PostToServer(msgCameraEvent, "edit");
  link->LinkStep();
  link->LinkStep();  // the poll made due goes out at once
  EXPECT_EQ(MessageType(server.Received().back()), msgPoll);

  link->PostToServer(msgCameraEvent, "edit");
  link->LinkStep();
  link->PostToServer(msgCameraEvent, "payload");  // cancels the pending poll
  link->LinkStep();
  link->LinkStep();
  const auto got = server.Received();
  EXPECT_EQ(MessagePayload(got.back()), "payload");
  EXPECT_EQ(MessageType(got[got.size() - 2]), msgCameraEvent);
}

TEST_F(LinkStepTest, FailedExchangesCountAnErrorAndDrop) {
  const struct {
    const char* what;
    Reply reply;
  } cases[] = {
      {"closed mid-header", Reply::Raw(std::string("\xFF\0\0\0\0\x40", 6), true)},
      {"closed mid-body", Reply::Raw(std::string("\xFF\0\0\0\0\x40\0\0\0", 9) +
                                     std::string(12, '\0') + "abc", true)},
      {"huge wire length", Reply::Raw(std::string("\xFF\0\0\0\0\xFF\xFF\xFF\x7F", 9) +
                                      std::string(12, '\0'))},
      {"bad marker", Reply::Raw(std::string(21, '\x01'))},
      {"closed", Reply::Close()},
  };
  for (const auto& c : cases) {
    ScriptServer server([&](const std::string&, int) { return c.reply; });
    FakeLinkHost host;
    cl::Options o;
    std::ofstream(dir_ / "korvel.ini") << "[ServerHost]\nPort=" << server.port() << "\n";
    o.base_dir = dir_.string() + "/";
    cl link(host, o);
    link.ReadStartSettings();
    link.SetEnabled(true);
    link.LinkStep();
    ASSERT_TRUE(link.Connected()) << c.what;
    const int ticks = host.activity.load();
    link.LinkStep();
    EXPECT_FALSE(link.Connected()) << c.what;
    EXPECT_EQ(link.ErrorCount(), 1) << c.what;
    EXPECT_EQ(host.activity.load(), ticks + 1) << c.what;  // DropConnection ticks
    EXPECT_TRUE(host.link_up.load()) << c.what;  // not changed by a later drop
  }
}

TEST_F(LinkStepTest, SilentServerFailsTheReadAfterTheWait) {
  ScriptServer server([](const std::string&, int) { return Reply::Silent(); });
  cl::Options o;
  o.receive_timeout_ms = 200;
  auto link = MakeLink(server.port(), o);
  link->LinkStep();
  link->LinkStep();
  EXPECT_FALSE(link->Connected());
  EXPECT_EQ(link->ErrorCount(), 1);
}

TEST_F(LinkStepTest, UninflatableReplyIsDroppedWithoutAnError) {
  std::string frame(kFrameHeaderSize, '\0');
  frame[0] = '\xF0';
  PatchU32(&frame, kFrameWireLengthOffset, 4);
  PatchU32(&frame, kFramePlainLengthOffset, 30);
  frame += "junk";
  ScriptServer server([&](const std::string&, int) { return Reply::Raw(frame); });
  auto link = MakeLink(server.port());
  link->LinkStep();
  link->LinkStep();
  EXPECT_TRUE(link->Connected());
  EXPECT_EQ(link->ErrorCount(), 0);
}

TEST_F(LinkStepTest, NoLoginAcceptedGivesTheConnectionUp) {
  ScriptServer server([](const std::string&, int) { return Reply::Message(msgPoll); });
  cl::Options o;
  o.attempt_period_ms = 300;
  auto link = MakeLink(server.port(), o);
  Greet(*link);
  link->LinkStep();
  EXPECT_TRUE(link->Connected());  // within the wait
  std::this_thread::sleep_for(std::chrono::milliseconds(320));
  link->LinkStep();
  EXPECT_FALSE(link->Connected());
  EXPECT_EQ(link->ErrorCount(), 0);
}

TEST_F(LinkStepTest, ControlMessages) {
  // msgReconnect: errors cleared, dropped, next attempt a whole period later.
  {
    ScriptServer server([](const std::string& m, int) {
      return MessageType(m) == msgLogin ? Reply::Message(msgReconnect) : Reply::Message(msgPoll);
    });
    auto link = MakeLink(server.port());
    link->LinkStep();
    link->LinkStep();
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(link->ErrorCount(), 0);
    link->LinkStep();
    EXPECT_EQ(server.connections(), 1);
  }
  // msgLinkDisable: nothing is queued any more and no attempt follows.
  {
    cl::Options o;
    o.attempt_period_ms = 1;
    ScriptServer server([](const std::string&, int) { return Reply::Message(msgLinkDisable); });
    auto link = MakeLink(server.port(), o);
    link->LinkStep();
    link->LinkStep();
    EXPECT_FALSE(link->Enabled());
    const uint64_t seq = link->NextSequence();
    link->PostToServer(msgCameraEvent, "dropped");
    EXPECT_EQ(link->NextSequence(), seq);
    link->LinkStep();  // the loss is found at the next exchange
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(link->ErrorCount(), 2);  // the send and the read
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    link->LinkStep();
    EXPECT_EQ(server.connections(), 1);
  }
  // msgDropAndClear: dropped and the tables reset on the main thread.
  {
    ScriptServer server([](const std::string& m, int) {
      return MessageType(m) == msgLogin ? Reply::Message(msgDropAndClear) : Reply::Message(msgPoll);
    });
    FakeLinkHost host;
    auto link = MakeLink(server.port());
    link->LinkStep();
    link->LinkStep();
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(host_.Calls().back().what, "reset");
  }
}

TEST_F(LinkStepTest, SixteenFailedExchangesDropAndLog) {
  ScriptServer server([](const std::string&, int) { return Reply::Close(); });
  cl::Options o;
  o.attempt_period_ms = 0;
  auto link = MakeLink(server.port(), o);
  for (int i = 0; i < 15; ++i) {
    link->LinkStep();  // connect
    link->LinkStep();  // the exchange fails
    ASSERT_EQ(link->ErrorCount(), i + 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(Log().find(LinkLogText(kLogNetworkErrors)), std::string::npos);
  link->LinkStep();
  link->LinkStep();
  EXPECT_EQ(link->ErrorCount(), 0);
  const std::string log = Log();
  EXPECT_NE(log.find(LinkLogText(kLogNetworkErrors) + "\r\n"), std::string::npos) << log;
}

TEST_F(LinkStepTest, RefusedConnectionCountsNoError) {
  uint16_t port = 0;
  { Socket probe = ListenTcp("127.0.0.1", 0, 1, &port); }  // a port nobody listens on
  auto link = MakeLink(port);
  link->LinkStep();
  EXPECT_FALSE(link->Connected());
  EXPECT_FALSE(host_.link_up.load());
  EXPECT_EQ(host_.link_up_writes.load(), 1);
  EXPECT_EQ(link->ErrorCount(), 0);
  link->LinkStep();  // the next attempt only after the period
  EXPECT_EQ(host_.link_up_writes.load(), 1);
}

TEST_F(LinkStepTest, ThreadStopsPromptlyWhileAReadIsBlocked) {
  ScriptServer server([](const std::string&, int) { return Reply::Silent(); });
  auto link = MakeLink(server.port());
  link->Start();
  for (int i = 0; i < 200 && server.Received().empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(server.Received().empty());
  link->RequestTerminate();  // the read waits up to 35 s; shutdown ends it
  link->Join();
  EXPECT_FALSE(server.Received().empty());
}

}  // namespace
}  // namespace korvel
