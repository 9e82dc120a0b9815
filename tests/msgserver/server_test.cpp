// The server over loopback, driven with the project's wire code.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/wire/frame_codec.h"
#include "link/wire/frame_io.h"
#include "video/archive/archive_format.h"
#include "msgserver/control_api.h"
#include "msgserver/message_server.h"
#include "msgserver/table_encoding.h"
#include "platform/codepage.h"
#include "platform/date_time.h"
#include "tests/msgserver/test_client.h"

namespace korvel::msgserver {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::SubMessage;
using testing::TestClient;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

SeedData DemoSeed() {
  SeedData seed;
  std::string error;
  EXPECT_TRUE(LoadSeedFile(KORVEL_MSGSERVER_DEMO_SEED, &seed, &error)) << error;
  return seed;
}

// Decodes a record update of a table whose entries read like request
// entries (kinds 1, 2, 3 and the like): name, index, total, values.
struct DecodedUpdate {
  std::string table;
  int32_t index = -1;
  int32_t total = -1;
  std::map<std::string, IncomingValue> values;
};
DecodedUpdate DecodeUpdate(const std::string& payload, const SeedData& seed) {
  DecodedUpdate out;
  ByteReader in(payload);
  GetNameSlot(in, 8, &out.table);
  in.GetI32(&out.index);
  in.GetI32(&out.total);
  std::string as_insert = payload.substr(0, 9) + payload.substr(17);
  std::vector<const ServerTable*> tables;
  for (const auto& t : seed.tables) tables.push_back(&t);
  TableRequest req;
  DecodeEditRequest(as_insert, false, tables, &req);
  for (auto& v : req.values) out.values[v.field] = v;
  return out;
}

std::string UpdateRequest(const std::string& table, int32_t n_abs,
                          const std::vector<std::pair<std::string, int32_t>>& ints) {
  std::string p;
  PutNameSlot(&p, table, 8);
  PutI32(&p, n_abs);
  for (const auto& [name, value] : ints) {
    PutNameSlot(&p, name, 15);
    PutI32(&p, value);
  }
  PutNameSlot(&p, "SYSUSER", 15);
  PutU8(&p, 0);
  return p;
}

std::string CameraEventBytes(const std::string& archive, DateTime when, const std::string& camera,
                             const std::string& file, uint8_t listed) {
  std::string e;
  PutNameSlot(&e, archive, 30);
  PutU8(&e, archive.rfind("sk8_", 0) == 0 ? 3 : 1);
  PutF64(&e, when);
  PutU16(&e, 96);
  PutI32(&e, 101);
  PutNameSlot(&e, Utf8ToCp1251("Склад №5"), 255);
  PutNameSlot(&e, "", 128);
  PutNameSlot(&e, Utf8ToCp1251("Просмотр и запись камеры закончены"), 255);
  PutNameSlot(&e, camera, 255);
  PutNameSlot(&e, "rtsp://127.0.0.1:8554/cam1", 255);
  PutNameSlot(&e, file, 255);
  PutI32(&e, 1);
  PutU8(&e, 0);
  PutU8(&e, listed);
  return e;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/msgserver-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    folder_ = tmpl;
    ServerOptions o;
    o.port = 0;
    o.data_folder = folder_.string();
    o.verbosity = 0;
    o.max_chunk_bytes = chunk_bytes_;
    server_ = std::make_unique<MessageServer>(o, DemoSeed());
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  void TearDown() override {
    server_->Stop();
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  // A greeted client that has taken its snapshots and settings block.
  void Ready(TestClient& c, uint8_t place = 1) {
    ASSERT_TRUE(c.Connect(server_->port()));
    c.Greet(place);
    c.Poll();  // settings block
  }
  json Control(const std::string& method, const std::string& path, const json& body = nullptr) {
    HttpRequest r;
    r.method = method;
    const size_t q = path.find('?');
    r.path = path.substr(0, q);
    if (q != std::string::npos) {
      std::string rest = path.substr(q + 1);
      while (!rest.empty()) {
        const size_t amp = rest.find('&');
        const std::string pair = rest.substr(0, amp);
        r.query[pair.substr(0, pair.find('='))] = pair.substr(pair.find('=') + 1);
        rest = amp == std::string::npos ? "" : rest.substr(amp + 1);
      }
    }
    if (!body.is_null()) r.body = body.dump();
    const HttpResponse resp = HandleControlRequest(*server_, r);
    last_status_ = resp.status;
    return json::parse(resp.body);
  }

  size_t chunk_bytes_ = 256 * 1024;
  fs::path folder_;
  std::unique_ptr<MessageServer> server_;
  int last_status_ = 0;
  SeedData seed_ = DemoSeed();
};

TEST_F(ServerTest, GreetingGivesLoginTableListAndOneSnapshotPerTable) {
  TestClient c;
  ASSERT_TRUE(c.Connect(server_->port()));
  std::vector<std::string> replies;
  EXPECT_EQ(c.Greet(1, &replies),
            (std::vector<uint32_t>{msgLoginAccepted, msgTableList, msgSnapshot, msgSnapshot}));
  EXPECT_EQ(MessagePayload(replies[1]), "video\r\nvideor\r\n");
  EXPECT_EQ(MessagePayload(replies[2]), EncodeSnapshot(seed_.tables[0]));
  EXPECT_EQ(MessagePayload(replies[3]), EncodeSnapshot(seed_.tables[1]));

  // The acks are noted; the settings block goes with the first reply that
  // is a poll reply.
  std::string ack;
  PutNameSlot(&ack, "video", 8);
  const auto subs = TestClient::SubsOf(c.Exchange(msgSnapshotAck, ack));
  ASSERT_EQ(subs.size(), 1u);
  EXPECT_EQ(subs[0].type, msgServerSettings);
  EXPECT_EQ(subs[0].payload.size(), 512u);

  const json status = Control("GET", "/status");
  const json& ws = status["workstations"][0];
  EXPECT_EQ(ws["place"], 1);
  EXPECT_EQ(ws["client_kind"], 63);
  EXPECT_EQ(ws["version"], "8.1.0.0");
  EXPECT_EQ(ws["client_flags"], "0000000000000001");
  EXPECT_EQ(ws["snapshots_acked"], json::array({"video"}));
}

TEST_F(ServerTest, PollReplyWithNothingPendingCarriesTheServerTimeOnly) {
  TestClient c;
  Ready(c);
  std::string reply;
  EXPECT_TRUE(c.Poll(nullptr, &reply).empty());
  ASSERT_EQ(MessagePayload(reply).size(), 8u);
  EXPECT_NEAR(DecodeF64(MessagePayload(reply).data()), NowDateTime(), 1.0 / 24);
}

TEST_F(ServerTest, UpdateRequestComesBackAsRecordUpdateToBothWorkstations) {
  TestClient a, b;
  Ready(a);
  Ready(b, 2);
  const std::string reply = a.Exchange(msgUpdate, UpdateRequest("videor", 2, {{"mesto", 7}}));
  // The requester's own reply already carries the change.
  for (const auto& subs : {TestClient::SubsOf(reply), b.Poll()}) {
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0].type, msgRecordUpdate);
    const DecodedUpdate u = DecodeUpdate(subs[0].payload, seed_);
    EXPECT_EQ(u.table, "videor");
    EXPECT_EQ(u.index, 1);
    EXPECT_EQ(u.total, 2);
    EXPECT_EQ(u.values.at("mesto").value.number, 7);
    EXPECT_EQ(u.values.at("n_abs").value.number, 2);
    EXPECT_EQ(u.values.at("url").value.bytes, "rtsp://127.0.0.1:8555/cam2");
  }
  EXPECT_TRUE(b.Poll().empty());
  EXPECT_EQ(Control("GET", "/tables/videor")["records"][1]["mesto"], 7);

  // The decoded request is in the requester's log.
  const json log = Control("GET", "/workstations/1/log");
  const json last = log["workstations"][0]["entries"].back();
  EXPECT_EQ(last["type"], "msgUpdate");
  EXPECT_EQ(last["values"]["mesto"], 7);
  EXPECT_EQ(last["n_abs"], 2);
}

TEST_F(ServerTest, InsertRequestGetsTheNextIdentityAndANewIndex) {
  TestClient a;
  Ready(a);
  std::string p;
  PutNameSlot(&p, "videor", 8);
  PutNameSlot(&p, "n_obj", 15);
  PutI32(&p, 555);
  PutNameSlot(&p, "url", 15);
  std::string url;
  PutNameSlot(&url, "rtsp://127.0.0.1:9000/x", 255);
  p += url;
  PutNameSlot(&p, "SYSUSER", 15);
  PutU8(&p, 0);
  const auto subs = TestClient::SubsOf(a.Exchange(msgInsert, p));
  ASSERT_EQ(subs.size(), 1u);
  const DecodedUpdate u = DecodeUpdate(subs[0].payload, seed_);
  EXPECT_EQ(u.index, 2);
  EXPECT_EQ(u.total, 3);
  EXPECT_EQ(u.values.at("n_abs").value.number, 3);
  EXPECT_EQ(u.values.at("n_obj").value.number, 555);
  EXPECT_EQ(u.values.at("url").value.bytes, "rtsp://127.0.0.1:9000/x");
}

TEST_F(ServerTest, DeleteRequestComesBackAsDeletionNotice) {
  TestClient a, b;
  Ready(a);
  Ready(b);
  std::string p;
  PutNameSlot(&p, "videor", 8);
  PutI32(&p, 1);
  const auto own = TestClient::SubsOf(a.Exchange(msgDelete, p));
  const auto other = b.Poll();
  for (const auto& subs : {own, other}) {
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0].type, msgDeletionNotice);
    EXPECT_EQ(subs[0].payload, BuildDeletionNotice("videor", 1));
  }
  // A second delete of the same record changes nothing and pushes nothing.
  EXPECT_TRUE(TestClient::SubsOf(a.Exchange(msgDelete, p)).empty());
  EXPECT_EQ(Control("GET", "/tables/videor")["records"][0]["p_d"], 1);
}

TEST_F(ServerTest, ControlEditsArePushedAndANewcomerGetsThemInItsSnapshot) {
  TestClient a;
  Ready(a);
  const json rec = Control("POST", "/tables/videor/records",
                           {{"n_obj", 9}, {"url", "rtsp://127.0.0.1:8554/cam1"}, {"mesto", 1}});
  ASSERT_EQ(last_status_, 200);
  EXPECT_EQ(rec["n_abs"], 3);
  Control("PATCH", "/tables/video/records/1", {{"ltime", "11.12.2026 10:00:00"}});
  ASSERT_EQ(last_status_, 200);
  Control("DELETE", "/tables/videor/records/2");
  ASSERT_EQ(last_status_, 200);
  const auto subs = a.Poll();
  ASSERT_EQ(subs.size(), 3u);
  EXPECT_EQ(subs[0].type, msgRecordUpdate);
  EXPECT_EQ(subs[1].type, msgRecordUpdate);
  EXPECT_EQ(subs[2].type, msgDeletionNotice);

  Control("PATCH", "/tables/videor/records/99", {{"mesto", 1}});
  EXPECT_EQ(last_status_, 404);
  Control("PATCH", "/tables/videor/records/1", {{"nosuch", 1}});
  EXPECT_EQ(last_status_, 400);
  Control("PATCH", "/tables/videor/records/1", {{"mesto", "text"}});
  EXPECT_EQ(last_status_, 400);

  // A workstation that connects now sees the changes in its snapshot.
  TestClient b;
  ASSERT_TRUE(b.Connect(server_->port()));
  std::vector<std::string> replies;
  b.Greet(1, &replies);
  std::string error;
  const json table = Control("GET", "/tables/videor");
  EXPECT_EQ(table["records"].size(), 3u);
  EXPECT_EQ(table["records"][1]["p_d"], 1);
}

TEST_F(ServerTest, SubMessagesPerReplyStayWithin255) {
  TestClient a;
  Ready(a);
  for (int i = 0; i < 300; ++i) Control("PATCH", "/tables/videor/records/1", {{"mesto", i}});
  EXPECT_EQ(a.Poll().size(), 255u);
  const auto rest = a.Poll();
  ASSERT_EQ(rest.size(), 45u);
  EXPECT_EQ(DecodeUpdate(rest.back().payload, seed_).values.at("mesto").value.number, 299);
  EXPECT_TRUE(a.Poll().empty());
}

TEST_F(ServerTest, SettingsBytesArePushedToEveryWorkstation) {
  TestClient a;
  Ready(a);
  Control("PATCH", "/settings", {{"386", 32}});
  ASSERT_EQ(last_status_, 200);
  const auto subs = a.Poll();
  ASSERT_EQ(subs.size(), 1u);
  EXPECT_EQ(subs[0].type, msgServerSettings);
  EXPECT_EQ(static_cast<uint8_t>(subs[0].payload[386]), 32);
  Control("PATCH", "/settings", {{"512", 1}});
  EXPECT_EQ(last_status_, 400);
  Control("PATCH", "/settings", {{"3", 256}});
  EXPECT_EQ(last_status_, 400);
}

TEST_F(ServerTest, ControlMessagesGoOutAsTheNextReply) {
  TestClient a, b;
  Ready(a, 1);
  Ready(b, 2);
  for (const char* m : {"msgReconnect", "msgDropAndClear", "msgLinkDisable", "msgResetErrors"}) {
    Control("POST", "/workstations/place:2/send", {{"message", m}});
    ASSERT_EQ(last_status_, 200);
    std::string reply;
    b.Poll(nullptr, &reply);
    EXPECT_EQ(MessageTypeName(MessageType(reply)), m);
    a.Poll(nullptr, &reply);
    EXPECT_EQ(MessageType(reply), msgPoll);
  }
  Control("POST", "/workstations/place:9/send", {{"message", "msgReconnect"}});
  EXPECT_EQ(last_status_, 404);
  Control("POST", "/workstations/1/send", {{"message", "msgLogin"}});
  EXPECT_EQ(last_status_, 400);
}

TEST_F(ServerTest, DamagedFrameFaultFailsTheWorkstationsRead) {
  TestClient a;
  Ready(a);
  Control("POST", "/workstations/1/faults", {{"damage_next", 1}});
  ASSERT_EQ(last_status_, 200);
  EXPECT_TRUE(a.Exchange(msgPoll, "").empty());
}

TEST_F(ServerTest, SilentFaultWithholdsReplies) {
  TestClient a;
  Ready(a);
  Control("POST", "/workstations/1/faults", {{"silent", true}});
  EXPECT_TRUE(a.Exchange(msgPoll, "", false, 300).empty());
}

TEST_F(ServerTest, GarbageFrameClosesOnlyThatConnection) {
  TestClient good, bad, bad_zlib;
  Ready(good);
  Ready(bad);
  Ready(bad_zlib);
  // A frame header with an unknown marker.
  ASSERT_TRUE(SendAll(bad.fd(), std::string(21, '\x55') + "garbage"));
  // A compressed frame whose body is not a zlib stream.
  std::string frame;
  PutFrameHeader(&frame, kFrameMarkerCompressed, 10, 40);
  frame += "notzlib!!!";
  ASSERT_TRUE(SendAll(bad_zlib.fd(), frame));
  EXPECT_TRUE(bad.Receive(3000).empty());
  EXPECT_TRUE(bad_zlib.Receive(3000).empty());

  Control("PATCH", "/tables/videor/records/1", {{"mesto", 4}});
  const auto subs = good.Poll();
  ASSERT_EQ(subs.size(), 1u);
  EXPECT_EQ(subs[0].type, msgRecordUpdate);
  int connected = 0;
  const json status = Control("GET", "/status");
  for (const auto& ws : status["workstations"]) connected += ws["connected"].get<bool>();
  EXPECT_EQ(connected, 1);
}

TEST_F(ServerTest, CompressedFramesAreReadAndMirrored) {
  TestClient a;
  ASSERT_TRUE(a.Connect(server_->port()));
  ASSERT_TRUE(SendFrame(a.fd(), BuildMessage(msgLogin, std::string("\x3f\x00", 2), 0), true));
  uint8_t marker = 0;
  ASSERT_EQ(::recv(a.fd(), &marker, 1, MSG_PEEK), 1);
  EXPECT_EQ(marker, kFrameMarkerCompressed);
  EXPECT_EQ(MessageType(a.Receive()), msgLoginAccepted);
}

TEST_F(ServerTest, LogSkipsRoutinePollsAndFiltersByType) {
  TestClient a;
  Ready(a);
  for (int i = 0; i < 5; ++i) a.Poll();
  const ArchiveSizes sizes{"vi8_2026", 0, 0, 0};
  a.Poll(&sizes);
  a.Poll(&sizes);  // the same sizes again: routine
  a.Exchange(msgUpdate, UpdateRequest("videor", 1, {{"mesto", 2}}));
  json log = Control("GET", "/workstations/1/log");
  std::vector<std::string> types;
  for (const auto& e : log["workstations"][0]["entries"]) types.push_back(e["type"]);
  EXPECT_EQ(types, (std::vector<std::string>{"msgLogin", "msgClientFlags", "msgClientPlace",
                                             "msgClientVersion", "msgPoll", "msgPoll", "msgUpdate"}));
  log = Control("GET", "/log?type=msgUpdate&since=3");
  ASSERT_EQ(log["workstations"][0]["entries"].size(), 1u);
  EXPECT_EQ(log["workstations"][0]["entries"][0]["seq"], 7);
}

TEST_F(ServerTest, DictionaryCodeMessageIsLogged) {
  TestClient a;
  Ready(a);
  std::string p;
  PutNameSlot(&p, "video", 8);
  PutNameSlot(&p, "vendor", 15);
  PutU8(&p, 16);
  PutU8(&p, 33);
  PutU8(&p, 3);
  PutU16(&p, 2);
  EXPECT_EQ(MessageType(a.Exchange(msgDictionaryCode, p)), msgPoll);
  const json e = Control("GET", "/log")["workstations"][0]["entries"].back();
  EXPECT_EQ(e["type"], "msgDictionaryCode");
  EXPECT_EQ(e["field"], "vendor");
  EXPECT_EQ(e["code"], 2);
}

// Applies a chunk to local copies of the three files the way the link does.
void ApplyChunk(const std::string& payload, YearArchiveFiles* files) {
  ByteReader in(payload);
  ArchiveChunkHeader h;
  ASSERT_TRUE(ReadArchiveChunkHeader(in, &h));
  for (auto [offset, length, array] : {std::tuple{h.pool_offset, h.pool_length, &files->pool},
                                       std::tuple{h.record_offset, h.record_length, &files->records},
                                       std::tuple{h.index_offset, h.index_length, &files->index}}) {
    if (length == 0) array->clear();
    if (length <= 0) continue;
    std::string bytes;
    ASSERT_TRUE(in.GetBytes(static_cast<size_t>(length), &bytes));
    if (array->size() < static_cast<size_t>(offset + length)) array->resize(offset + length, '\0');
    array->replace(static_cast<size_t>(offset), bytes.size(), bytes);
  }
}

// Polls with the copy's sizes until the server sends nothing more.
int SyncArchive(TestClient& c, const std::string& name, YearArchiveFiles* copy) {
  int chunks = 0;
  for (int round = 0; round < 100; ++round) {
    ArchiveSizes sizes{name, static_cast<int32_t>(copy->pool.size()),
                       static_cast<int32_t>(copy->records.size()),
                       static_cast<int32_t>(copy->index.size())};
    const auto subs = c.Poll(&sizes);
    if (subs.empty()) return chunks;
    for (const auto& s : subs) {
      if (s.type != msgArchiveChunk) continue;
      ApplyChunk(s.payload, copy);
      ++chunks;
    }
  }
  return chunks;
}

TEST_F(ServerTest, CameraEventsLandInTheYearArchiveAndComeBackByteForByte) {
  TestClient a;
  Ready(a);
  DateTime when = 0;
  ASSERT_TRUE(ParseDateTimeDefault("07.03.2026 14:05:09", &when));
  const std::string file = "storage/2026/03/07/101-cam1-14-05-09.mp4";
  for (const char* archive : {"vi8_2026", "sk8_20260307"}) {
    EXPECT_EQ(MessageType(a.Exchange(msgCameraEvent, CameraEventBytes(archive, when, "Вход", file, 1))),
              msgPoll);
  }
  const std::string index = ReadFile(folder_ / "vi8_2026.fz8");
  const std::string records = ReadFile(folder_ / "vi8_2026.fp8");
  const std::string pool = ReadFile(folder_ / "vi8_2026.fm8");
  ASSERT_EQ(index.size(), 3u + 7u);
  EXPECT_EQ(index.substr(0, 3), std::string("\x01\xEA\x07", 3));  // kind 1, year 2026
  EXPECT_EQ(static_cast<uint8_t>(index[3]), 0xFF);
  EXPECT_EQ(DecodeU16(index.data() + 4), 96);
  EXPECT_EQ(DecodeI32(index.data() + 6), 0);
  ASSERT_EQ(records.size(), 39u);
  EXPECT_EQ(records.substr(0, 5), std::string("\x03\x07\x0E\x05\x09", 5));
  const char* compact = records.data() + 5;
  auto pool_text = [&](size_t at) {
    ByteReader in(std::string_view(pool).substr(DecodeU32(compact + at)));
    std::string t;
    GetCountedText(in, &t);
    return t;
  };
  EXPECT_EQ(pool_text(kCompactObjectText), Utf8ToCp1251("Склад №5"));
  EXPECT_EQ(pool_text(kCompactCameraText), "Вход");
  EXPECT_EQ(pool_text(kCompactRecordingText), file);
  EXPECT_EQ(DecodeI32(compact + kCompactWorkstation), 1);
  EXPECT_EQ(compact[kCompactFlag], 0);
  EXPECT_EQ(compact[kCompactListed], 1);
  // The day archive keeps the record as it came.
  EXPECT_EQ(ReadFile(folder_ / "sk8_20260307.cev"), CameraEventBytes("sk8_20260307", when, "Вход", file, 1));

  YearArchiveFiles copy;
  EXPECT_EQ(SyncArchive(a, "vi8_2026", &copy), 1);
  EXPECT_EQ(copy.index, index);
  EXPECT_EQ(copy.records, records);
  EXPECT_EQ(copy.pool, pool);

  // A second event comes as the tails only; a second workstation that
  // starts empty gets the whole of it.
  a.Exchange(msgCameraEvent, CameraEventBytes("vi8_2026", when + 0.5, "Склад", "", 0));
  EXPECT_EQ(SyncArchive(a, "vi8_2026", &copy), 1);
  EXPECT_EQ(copy.index, ReadFile(folder_ / "vi8_2026.fz8"));
  EXPECT_EQ(copy.records, ReadFile(folder_ / "vi8_2026.fp8"));
  EXPECT_EQ(copy.pool, ReadFile(folder_ / "vi8_2026.fm8"));
  TestClient b;
  Ready(b);
  YearArchiveFiles fresh;
  SyncArchive(b, "vi8_2026", &fresh);
  EXPECT_EQ(fresh.index, copy.index);
  EXPECT_EQ(fresh.records, copy.records);
  EXPECT_EQ(fresh.pool, copy.pool);
}

TEST_F(ServerTest, ArchiveGrowsOnAfterARestart) {
  DateTime when = 0;
  ASSERT_TRUE(ParseDateTimeDefault("07.03.2026 14:05:09", &when));
  {
    TestClient a;
    Ready(a);
    a.Exchange(msgCameraEvent, CameraEventBytes("vi8_2026", when, "Вход", "f1", 1));
  }
  const std::string records_before = ReadFile(folder_ / "vi8_2026.fp8");
  server_->Stop();
  ServerOptions o;
  o.port = 0;
  o.data_folder = folder_.string();
  o.verbosity = 0;
  server_ = std::make_unique<MessageServer>(o, DemoSeed());
  std::string error;
  ASSERT_TRUE(server_->Start(&error)) << error;
  TestClient b;
  Ready(b);
  b.Exchange(msgCameraEvent, CameraEventBytes("vi8_2026", when, "Склад", "f2", 1));
  const std::string index = ReadFile(folder_ / "vi8_2026.fz8");
  const std::string records = ReadFile(folder_ / "vi8_2026.fp8");
  ASSERT_EQ(index.size(), 3u + 2 * 7);
  EXPECT_EQ(records.substr(0, records_before.size()), records_before);
  EXPECT_EQ(DecodeI32(index.data() + 3 + 7 + 3), static_cast<int32_t>(records_before.size()));
  YearArchiveFiles copy;
  SyncArchive(b, "vi8_2026", &copy);
  EXPECT_EQ(copy.index, index);
  EXPECT_EQ(copy.records, records);
  EXPECT_EQ(copy.pool, ReadFile(folder_ / "vi8_2026.fm8"));
}

class SmallChunkServerTest : public ServerTest {
 protected:
  SmallChunkServerTest() { chunk_bytes_ = 16; }
};

TEST_F(SmallChunkServerTest, LargeArchiveArrivesOverSeveralPollsAndAStaleCopyIsReplaced) {
  TestClient a;
  Ready(a);
  DateTime when = 0;
  ASSERT_TRUE(ParseDateTimeDefault("01.01.2025 00:00:00", &when));
  for (int i = 0; i < 3; ++i) {
    a.Exchange(msgCameraEvent, CameraEventBytes("vi8_2025", when, "cam" + std::to_string(i), "f", 1));
  }
  YearArchiveFiles copy;
  EXPECT_GT(SyncArchive(a, "vi8_2025", &copy), 3);
  EXPECT_EQ(copy.index, ReadFile(folder_ / "vi8_2025.fz8"));
  EXPECT_EQ(copy.records, ReadFile(folder_ / "vi8_2025.fp8"));
  EXPECT_EQ(copy.pool, ReadFile(folder_ / "vi8_2025.fm8"));

  // A copy longer than the server's (left from another server) is emptied
  // and sent again.
  copy.records += "stale bytes";
  SyncArchive(a, "vi8_2025", &copy);
  EXPECT_EQ(copy.records, ReadFile(folder_ / "vi8_2025.fp8"));
}

TEST_F(ServerTest, RefusedArchiveNamesAreLoggedNotStored) {
  TestClient a;
  Ready(a);
  a.Exchange(msgCameraEvent, CameraEventBytes("../evil", 46000, "x", "", 0));
  a.Exchange(msgCameraEvent, std::string(100, 'x'));
  const json entries = Control("GET", "/log")["workstations"][0]["entries"];
  EXPECT_TRUE(entries[entries.size() - 2].contains("error"));
  EXPECT_TRUE(entries[entries.size() - 1].contains("error"));
  EXPECT_FALSE(fs::exists(folder_.parent_path() / "evil.cev"));
}

}  // namespace
}  // namespace korvel::msgserver
