// The server's tables: seed file, request decoding, snapshots and record
// updates in bytes.
#include <gtest/gtest.h>

#include "msgserver/seed_file.h"
#include "msgserver/table_encoding.h"
#include "msgserver/value_json.h"
#include "platform/byte_io.h"
#include "platform/codepage.h"
#include "platform/counted_text.h"

namespace korvel::msgserver {
namespace {

using nlohmann::json;

ServerTable MakeTable(const json& fields, const json& records = json::array()) {
  SeedData seed;
  std::string error;
  EXPECT_TRUE(ParseSeed({{"tables", {{{"name", "t"}, {"fields", fields}, {"records", records}}}}},
                        &seed, &error))
      << error;
  return seed.tables.empty() ? ServerTable("t", {}) : seed.tables[0];
}

const json kBase = json::array({{{"name", "n_abs"}, {"kind", 1}}, {{"name", "p_d"}, {"kind", 3}}});

json WithFields(std::initializer_list<json> extra) {
  json f = kBase;
  for (const auto& e : extra) f.push_back(e);
  return f;
}

TEST(SeedFile, DemoSeedHoldsTheTablesTheProgramUses) {
  SeedData seed;
  std::string error;
  ASSERT_TRUE(LoadSeedFile(KORVEL_MSGSERVER_DEMO_SEED, &seed, &error)) << error;
  ASSERT_EQ(seed.tables.size(), 2u);
  const ServerTable& video = seed.tables[0];
  const ServerTable& videor = seed.tables[1];
  EXPECT_EQ(video.name(), "video");
  EXPECT_EQ(videor.name(), "videor");
  for (const char* f : {"n_obj", "ip", "port", "lasttime", "ltime"}) EXPECT_GE(video.FieldIndex(f), 0) << f;
  for (const char* f : {"n_obj", "url", "name", "mesto", "nameobj"}) EXPECT_GE(videor.FieldIndex(f), 0) << f;
  const auto kind = [](const ServerTable& t, const char* f) { return t.fields()[t.FieldIndex(f)].kind; };
  EXPECT_TRUE(kind(video, "lasttime") == 9 || kind(video, "lasttime") == 25);
  EXPECT_TRUE(kind(video, "ltime") == 9 || kind(video, "ltime") == 25);
  EXPECT_GE(videor.record_count(), 1);
  for (int32_t r = 0; r < videor.record_count(); ++r) {
    EXPECT_EQ(videor.record(r)[videor.FieldIndex("mesto")].number, 1);
  }
}

TEST(SeedFile, RejectsBadDefinitions) {
  const struct {
    const char* what;
    json seed;
  } cases[] = {
      {"no tables", json::object()},
      {"n_abs not first", {{"tables", {{{"name", "t"}, {"fields", {{{"name", "p_d"}, {"kind", 3}}, {{"name", "n_abs"}, {"kind", 1}}}}}}}}},
      {"name too long", {{"tables", {{{"name", "toolongname"}, {"fields", kBase}}}}}},
      {"name not identifier", {{"tables", {{{"name", "1x"}, {"fields", kBase}}}}}},
      {"kind 17", {{"tables", {{{"name", "t"}, {"fields", WithFields({{{"name", "x"}, {"kind", 17}}})}}}}}},
      {"text width 300", {{"tables", {{{"name", "t"}, {"fields", WithFields({{{"name", "x"}, {"kind", 2}, {"width", 300}}})}}}}}},
      {"field twice", {{"tables", {{{"name", "t"}, {"fields", WithFields({{{"name", "p_d"}, {"kind", 3}}})}}}}}},
      {"field name 16 bytes", {{"tables", {{{"name", "t"}, {"fields", WithFields({{{"name", "abcdefghijklmnop"}, {"kind", 1}}})}}}}}},
      {"dictionary key 256 on kind 16", {{"tables", {{{"name", "t"}, {"fields", WithFields({{{"name", "d"}, {"kind", 16}, {"dictionary", {{"256", "x"}}}}})}}}}}},
      {"duplicate n_abs", {{"tables", {{{"name", "t"}, {"fields", kBase}, {"records", {{{"n_abs", 4}}, {{"n_abs", 4}}}}}}}}},
      {"unknown record field", {{"tables", {{{"name", "t"}, {"fields", kBase}, {"records", {{{"zz", 4}}}}}}}}},
      {"settings offset 512", {{"settings", {{"512", 1}}}, {"tables", json::array()}}},
  };
  for (const auto& c : cases) {
    SeedData seed;
    std::string error;
    EXPECT_FALSE(ParseSeed(c.seed, &seed, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(ServerTable, IdentitiesFollowTheSeedAndDeletedRecordsKeepTheirSlot) {
  ServerTable t = MakeTable(WithFields({{{"name", "v"}, {"kind", 1}}}),
                            {{{"n_abs", 10}, {"v", 1}}, {{"v", 2}}});
  EXPECT_EQ(t.record(1)[0].number, 11);
  IncomingValue v{"v", {}, {}};
  v.value.number = 3;
  const int32_t index = t.Insert({v});
  EXPECT_EQ(index, 2);
  EXPECT_EQ(t.record(2)[0].number, 12);
  EXPECT_EQ(t.MarkDeleted(11), 1);
  EXPECT_EQ(t.MarkDeleted(11), -1);
  EXPECT_EQ(t.record_count(), 3);
  EXPECT_EQ(t.Update(12, {v}), 2);
  EXPECT_EQ(t.Compact(), 1);
  EXPECT_EQ(t.record_count(), 2);
  EXPECT_EQ(t.FindRecord(12), 1);
}

TEST(TableEncoding, SnapshotOfAnEmptyTableIsTheHeaderAndDescriptors) {
  const ServerTable t = MakeTable(kBase);
  const std::string s = EncodeSnapshot(t);
  ASSERT_EQ(s.size(), 9u + 4 + 4 + 2 * 33);
  EXPECT_EQ(DecodeI32(s.data() + 9), 0);
  EXPECT_EQ(DecodeI32(s.data() + 13), 2);
  EXPECT_EQ(s[17 + 4], 5);  // "n_abs" length byte
  EXPECT_EQ(s[17 + 20], 1);  // kind
  EXPECT_EQ(DecodeI32(s.data() + 17 + 21), 4);
}

TEST(TableEncoding, SnapshotColumnsOfEveryShape) {
  const ServerTable t = MakeTable(
      WithFields({{{"name", "txt"}, {"kind", 2}, {"width", 5}},
                  {{"name", "dt"}, {"kind", 9}},
                  {{"name", "blk"}, {"kind", 11}, {"width", 3}},
                  {{"name", "lst"}, {"kind", 23}, {"width", 2}, {"text_width", 4}},
                  {{"name", "d8"}, {"kind", 16}, {"text_width", 4}, {"dictionary", {{"7", "ab"}}}},
                  {{"name", "d16"}, {"kind", 15}, {"text_width", 3}},
                  {{"name", "hp"}, {"kind", 24}}}),
      {{{"n_abs", 1}, {"txt", "hello!"}, {"dt", 2.5}, {"blk", {1, 2}}, {"lst", {"x", "yz"}}, {"d8", "ab"},
        {"d16", "q"}, {"hp", "heap"}}});
  std::string expect;
  PutNameSlot(&expect, "t", 8);
  PutI32(&expect, 1);
  PutI32(&expect, 9);
  auto desc = [&](const char* name, uint8_t kind, int32_t w, int32_t tw) {
    PutI32(&expect, 0);
    PutNameSlot(&expect, name, 15);
    PutU8(&expect, kind);
    PutI32(&expect, w);
    PutI32(&expect, tw);
    PutI32(&expect, 0);
  };
  desc("n_abs", 1, 4, 0);
  PutI32(&expect, 1);
  desc("p_d", 3, 1, 0);
  PutU8(&expect, 0);
  desc("txt", 2, 5, 0);
  expect += std::string("\x04hell", 5);
  desc("dt", 9, 8, 0);
  PutF64(&expect, 2.5);
  desc("blk", 11, 3, 0);
  expect += std::string("\x01\x02\x00", 3);
  desc("lst", 23, 2, 4);
  expect += std::string("\x01x\0\0\x02yz\0", 8);
  desc("d8", 16, 1, 4);
  PutU8(&expect, 7);
  PutI32(&expect, 1);
  PutU16(&expect, 7);
  expect += std::string("\x02" "ab\0", 4);
  desc("d16", 15, 2, 3);
  PutU16(&expect, 1);  // a new text gets the next free code
  PutI32(&expect, 1);
  PutU32(&expect, 1);
  expect += std::string("\x01q\0", 3);
  desc("hp", 24, 4, 0);
  PutI32(&expect, 1);  // offset 0 is the empty text
  PutI32(&expect, 6);
  expect += std::string("\0\x04heap", 6);
  EXPECT_EQ(EncodeSnapshot(t), expect);
}

TEST(TableEncoding, RecordUpdateCarriesCodesTextsAndHeapEntries) {
  ServerTable t = MakeTable(WithFields({{{"name", "d8"}, {"kind", 16}, {"text_width", 4}},
                                        {{"name", "hp"}, {"kind", 24}}}),
                            {{{"n_abs", 5}, {"d8", "ok"}, {"hp", "a"}}});
  std::string expect;
  PutNameSlot(&expect, "t", 8);
  PutI32(&expect, 0);
  PutI32(&expect, 1);
  PutNameSlot(&expect, "n_abs", 15);
  PutI32(&expect, 5);
  PutNameSlot(&expect, "p_d", 15);
  PutU8(&expect, 0);
  PutNameSlot(&expect, "d8", 15);
  PutU8(&expect, 1);
  expect += std::string("\x02ok\0", 4);
  PutNameSlot(&expect, "hp", 15);
  PutI32(&expect, 3);  // heap: empty text, then "a"
  PutI32(&expect, 1);
  expect += std::string("\x01" "a", 2);
  EXPECT_EQ(EncodeRecordUpdate(t, 0), expect);
}

TEST(TableEncoding, EditRequestsDecodeByTheTablesKinds) {
  const ServerTable t = MakeTable(WithFields({{{"name", "txt"}, {"kind", 2}, {"width", 6}},
                                              {{"name", "d8"}, {"kind", 16}, {"text_width", 4}},
                                              {{"name", "hp"}, {"kind", 24}},
                                              {{"name", "sec"}, {"kind", 25}}}));
  std::string p;
  PutNameSlot(&p, "t", 8);
  PutI32(&p, 42);
  PutNameSlot(&p, "txt", 15);
  PutNameSlot(&p, "abc", 5);
  PutNameSlot(&p, "d8", 15);
  PutNameSlot(&p, "no", 3);
  PutNameSlot(&p, "hp", 15);
  PutCountedText(&p, "heap text");
  PutNameSlot(&p, "sec", 15);
  PutU32(&p, 86400);
  PutNameSlot(&p, "SYSUSER", 15);
  PutCountedText(&p, "op");
  TableRequest r;
  ASSERT_TRUE(DecodeEditRequest(p, true, {&t}, &r));
  EXPECT_EQ(r.n_abs, 42);
  ASSERT_EQ(r.values.size(), 4u);
  EXPECT_EQ(r.values[0].value.bytes, "abc");
  EXPECT_EQ(r.values[1].text, "no");
  EXPECT_EQ(r.values[2].text, "heap text");
  EXPECT_EQ(r.values[3].value.number, 86400);
  EXPECT_EQ(r.sys_user, "op");

  // Every cut of the payload decodes without reading past it; entries
  // that do not fit are left out.
  for (size_t n = 0; n < p.size(); ++n) {
    TableRequest cut;
    const bool ok = DecodeEditRequest(p.substr(0, n), true, {&t}, &cut);
    EXPECT_EQ(ok, n >= 13) << n;
    EXPECT_LE(cut.values.size(), 4u);
  }
  // An unknown field stops the entries.
  std::string u = p.substr(0, 13);
  PutNameSlot(&u, "zzz", 15);
  PutI32(&u, 1);
  ASSERT_TRUE(DecodeEditRequest(u, true, {&t}, &r));
  EXPECT_EQ(r.unknown_field, "zzz");
  EXPECT_TRUE(r.values.empty());
  // Unknown table.
  std::string w;
  PutNameSlot(&w, "other", 8);
  EXPECT_FALSE(DecodeEditRequest(w, false, {&t}, &r));
}

TEST(ValueJson, DateTimesAndBytesRoundTrip) {
  ServerTable t = MakeTable(WithFields({{{"name", "dt"}, {"kind", 9}},
                                        {{"name", "sec"}, {"kind", 25}},
                                        {{"name", "f"}, {"kind", 22}, {"width", 2}},
                                        {{"name", "s"}, {"kind", 2}}}),
                            {{{"dt", "07.03.2026 14:05:09"}, {"sec", "01.01.2000 00:01:00"},
                              {"f", {1, 0}}, {"s", "Склад"}}});
  const json rec = RecordToJson(t, 0);
  EXPECT_EQ(rec["dt"], "07.03.2026 14:05:09");
  EXPECT_EQ(rec["sec"], "01.01.2000 00:01:00");
  EXPECT_EQ(t.record(0)[3].number, 60);
  EXPECT_EQ(rec["f"], json::array({1, 0}));
  EXPECT_EQ(rec["s"], "Склад");
  EXPECT_EQ(t.record(0)[5].bytes, Utf8ToCp1251("Склад"));
}

}  // namespace
}  // namespace korvel::msgserver
