// The edit cycle's messages and the application of record updates and
// deletion notices.
#include <gtest/gtest.h>

#include "platform/byte_io.h"
#include "platform/counted_text.h"
#include "table/record_update_writer.h"
#include "table/table_format.h"
#include "table/table_registry.h"
#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;
using namespace table_format;

std::string Slot(std::string_view text, size_t capacity) {
  std::string s;
  PutNameSlot(&s, text, capacity);
  return s;
}

std::string SysUser() { return Slot("SYSUSER", 15) + std::string(1, '\0'); }

class NetSync : public ::testing::Test {
 protected:
  void SetUp() override {
    Load(&t_, MakeTable("video", 5, {Column(Desc("ip", 2, 11), {Text("a"), Text("b")}),
                                     Column(Desc("port", 1), {Num(80), Num(81)})}));
    RecordSends(&t_, &sent_);
    t_.SetRecordIndex(2);
  }
  TKSBaseC t_;
  std::vector<SentMessage> sent_;
};

TEST_F(NetSync, EditPostWithoutAssignmentsIs30Bytes) {
  EXPECT_TRUE(t_.Edit());
  t_.Post();
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].command, kCmdUpdate);
  std::string expected = Slot("video", 8);
  PutI32(&expected, 2);
  expected += SysUser();
  EXPECT_EQ(sent_[0].bytes.size(), 30u);
  EXPECT_EQ(sent_[0].bytes, expected);
  EXPECT_TRUE(t_.IsReady());
  EXPECT_FALSE(t_.IsEditing());
}

TEST_F(NetSync, InsertSendsNoIdentity) {
  t_.Insert();
  SetAsInteger(t_.FieldByName("port"), 554);
  SetAsString(t_.FieldByName("ip"), "10.0.0.12345678901");  // 20 characters, width 11
  t_.Post();
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].command, kCmdInsert);
  std::string expected = Slot("video", 8);
  expected += Slot("ip", 15);
  expected += Slot("10.0.0.123", 10);  // first 10 characters in the 11-byte slot
  expected += Slot("port", 15);
  PutI32(&expected, 554);
  expected += SysUser();
  EXPECT_EQ(sent_[0].bytes, expected);
  EXPECT_EQ(t_.FieldByName("port")->edit().modified, 0);
  EXPECT_EQ(t_.TotalRecords(), 5);  // records change only when the server says so
}

TEST_F(NetSync, PostWithoutEditSendsNothing) {
  t_.Post();
  EXPECT_TRUE(sent_.empty());
  t_.Edit();
  t_.Cancel();
  t_.Post();
  EXPECT_TRUE(sent_.empty());
}

TEST_F(NetSync, NoHandlerDropsSilently) {
  TKSBaseC t;
  Load(&t, MakeTable("x", 1, {}));
  t.First();
  t.Edit();
  t.Post();
  t.Delete();
  EXPECT_TRUE(t.IsReady());
}

TEST_F(NetSync, DeleteIs13Bytes) {
  t_.SetRecordIndex(4);
  t_.Delete();
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].command, kCmdDelete);
  std::string expected = Slot("video", 8);
  PutI32(&expected, 4);
  EXPECT_EQ(sent_[0].bytes, expected);
  EXPECT_EQ(t_.Count(), 5);
}

TEST(NetSyncKinds, DictionaryHeapListAndWideSlotsInPost) {
  SnapshotField d15 = Column(Desc("d15", 15, 2, 6), {Num(1)});
  d15.dictionary = {{"Alpha", 1}};
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {d15, Column(Desc("h", 24, 0), {}), Column(Desc("l", 23, 2, 4), {}),
                              Column(Desc("wide", 1, 8), {}), Column(Desc("odd", 17, 4), {}),
                              Column(Desc("sec", 25), {})}));
  std::vector<SentMessage> sent;
  RecordSends(&t, &sent);
  t.SetUserName("op");
  t.First();
  t.Insert();
  SetAsString(t.FieldByName("d15"), "alpha");
  SetAsString(t.FieldByName("h"), "heap text");
  SetAsString(t.FieldByName("l"), "ignored");
  SetAsInteger(t.FieldByName("wide"), -2);
  SetAsInteger(t.FieldByName("odd"), 1);
  SetAsInteger(t.FieldByName("sec"), 77);
  t.Post();
  ASSERT_EQ(sent.size(), 1u);
  std::string e = Slot("t", 8);
  e += Slot("d15", 15) + Slot("Alpha", 5);  // text in a 6-byte slot, code not sent
  e += Slot("h", 15);
  PutCountedText(&e, "heap text");
  e += Slot("l", 15) + std::string(8, '\0');  // two empty texts of 4 bytes
  e += Slot("wide", 15);
  PutI32(&e, -2);
  PutI32(&e, 0);  // width 8: zero-filled
  // "odd" (kind 17) has no value slot and is not sent.
  e += Slot("sec", 15);
  PutU32(&e, 77);
  e += Slot("SYSUSER", 15);
  PutCountedText(&e, "op");
  EXPECT_EQ(sent[0].bytes, e);
}

TEST(NetSyncKinds, SendDictionaryCode) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {Column(Desc("d15", 15, 2, 300 - 44), {}), Column(Desc("d16", 16, 1, 9), {})}));
  t.SetNameTable("t");
  std::vector<SentMessage> sent;
  RecordSends(&t, &sent);
  t.SendDictionaryCode("d15", 0x1234);
  t.SendDictionaryCode("d16", 0x1234);
  t.SendDictionaryCode("none", 5);
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& m : sent) {
    EXPECT_EQ(m.command, kCmdDictionaryCode);
    EXPECT_EQ(m.bytes.size(), 30u);
  }
  EXPECT_EQ(sent[0].bytes.substr(25), std::string("\x0f\x00\x03\x34\x12", 5));
  EXPECT_EQ(sent[1].bytes.substr(25), std::string("\x10\x09\x03\x34\x00", 5));
  EXPECT_EQ(sent[2].bytes.substr(25), std::string("\x00\x00\x03\x00\x00", 5));
  EXPECT_EQ(sent[0].bytes.substr(9, 16), Slot("d15", 15));
}

TEST(NetSyncKinds, SlaveFieldTakesMasterValueOnPost) {
  TKSBaseC master, slave;
  Load(&master, MakeTable("m", 2, {Column(Desc("obj", 1), {Num(31), Num(32)})}));
  Load(&slave, MakeTable("s", 1, {Column(Desc("obj", 1), {Num(0)})}));
  master.SetRecordIndex(2);
  slave.SetMasterTable(&master);
  slave.SetMasterField("obj");
  slave.SetSlaveField("obj");
  std::vector<SentMessage> sent;
  RecordSends(&slave, &sent);
  slave.Insert();
  slave.Post();
  ASSERT_EQ(sent.size(), 1u);
  std::string e = Slot("s", 8) + Slot("obj", 15);
  PutI32(&e, 32);
  e += SysUser();
  EXPECT_EQ(sent[0].bytes, e);
}

// ---- record updates ----

std::string Update(std::string_view table, int32_t index, int32_t total,
                   std::vector<RecordUpdateEntry> entries) {
  return WriteRecordUpdate(table, index, total, entries);
}

RecordUpdateEntry Entry(FieldDescriptor d, TableValue v) { return {std::move(d), std::move(v)}; }

TEST_F(NetSync, UpdateGrowsEveryColumn) {
  const std::string p = Update("video", 5, 6,
                               {Entry(Desc("n_abs", 1), Num(60)), Entry(Desc("ip", 2, 11), Text("new")),
                                Entry(Desc("port", 1), Num(8080))});
  EXPECT_EQ(t_.ApplyRecordUpdate(5, p), RecordUpdateResult::kApplied);
  for (int32_t i = 0; i < t_.FieldCount(); ++i) EXPECT_EQ(t_.Field(i)->rows(), 6u) << i;
  t_.RebuildView();
  EXPECT_EQ(t_.Count(), 6);
  EXPECT_EQ(AsString(t_.FieldOfRecord("ip", 6)), "new");
  EXPECT_EQ(AsInteger(t_.FieldOfRecord("port", 6)), 8080);
  EXPECT_EQ(AsInteger(t_.FieldOfRecord("n_abs", 6)), 60);
}

TEST_F(NetSync, UpdateTotals) {
  const struct {
    const char* label;
    int32_t index;
    int32_t total;
    RecordUpdateResult result;
    int32_t rows_after;
  } cases[] = {
      {"in place", 1, 5, RecordUpdateResult::kApplied, 5},
      {"no room", 7, 7, RecordUpdateResult::kNoRoom, 5},
      {"negative index", -1, 5, RecordUpdateResult::kNoRoom, 5},
      {"negative total", 1, -1, RecordUpdateResult::kBadTotal, 5},
      {"total above ceiling", 1, kMaxRecords + 1, RecordUpdateResult::kBadTotal, 5},
      {"total beyond columns, index inside", 1, 9, RecordUpdateResult::kApplied, 9},
  };
  for (const auto& c : cases) {
    TKSBaseC t;
    Load(&t, MakeTable("video", 5, {Column(Desc("port", 1), {})}));
    const std::string p = Update("video", c.index, c.total, {Entry(Desc("port", 1), Num(99))});
    EXPECT_EQ(t.ApplyRecordUpdate(c.index, p), c.result) << c.label;
    for (int32_t i = 0; i < t.FieldCount(); ++i)
      EXPECT_EQ(t.Field(i)->rows(), static_cast<size_t>(c.rows_after)) << c.label;
    t.RebuildView();  // never reads past a column
  }
}

TEST_F(NetSync, UpdateStopsAtUnknownFieldOrKindWithoutValue) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {Column(Desc("a", 1), {}), Column(Desc("odd", 17, 4), {}),
                              Column(Desc("b", 1), {})}));
  std::string p = Update("t", 0, 1, {Entry(Desc("a", 1), Num(5)), Entry(Desc("zzz", 1), Num(6)),
                                     Entry(Desc("b", 1), Num(7))});
  EXPECT_EQ(t.ApplyRecordUpdate(0, p), RecordUpdateResult::kUnknownField);
  t.RebuildView();
  EXPECT_EQ(AsInteger(t.FieldOfRecord("a", 1)), 5);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("b", 1)), 0);

  p = Update("t", 0, 1, {Entry(Desc("odd", 17, 4), Num(1)), Entry(Desc("b", 1), Num(7))});
  EXPECT_EQ(t.ApplyRecordUpdate(0, p), RecordUpdateResult::kNoValueSlot);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("b", 1)), 0);
}

TEST_F(NetSync, WideSlotStoresWhatFits) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {Column(Desc("v", 1, 8), {}), Column(Desc("after", 3), {})}));
  std::string p = Slot("t", 8);
  PutI32(&p, 0);
  PutI32(&p, 1);
  p += Slot("v", 15);
  PutU64(&p, 0x1111111122222222ULL);
  p += Slot("after", 15);
  PutU8(&p, 9);
  EXPECT_EQ(t.ApplyRecordUpdate(0, p), RecordUpdateResult::kApplied);
  t.RebuildView();
  EXPECT_EQ(AsInteger(t.FieldOfRecord("v", 1)), 0x22222222);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("after", 1)), 9);
}

TEST(NetSyncDictionary, RecordUpdateRules) {
  SnapshotField d = Column(Desc("d", 15, 2, 8), {Num(7)});
  d.dictionary = {{"seven", 7}};
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {d}));
  auto apply = [&](int64_t code, const char* text) {
    TableValue v = Num(code);
    v.bytes = text;
    t.ApplyRecordUpdate(0, Update("t", 0, 1, {Entry(Desc("d", 15, 2, 8), v)}));
  };
  apply(0, "zero");
  EXPECT_EQ(t.Field(2)->dictionary_keys().size(), 1u);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("d", 1)), 0);
  apply(8, "eight");
  EXPECT_EQ(t.Field(2)->dictionary_keys().size(), 2u);
  EXPECT_EQ(AsString(t.FieldOfRecord("d", 1)), "eight");
  apply(7, "SEVEN");
  EXPECT_EQ(t.Field(2)->dictionary_keys().size(), 2u);
  EXPECT_EQ(t.Field(2)->dictionary_texts()[0], "SEVEN");

  SnapshotField d8 = Column(Desc("d", 16, 1, 8), {Num(0)});
  TKSBaseC u;
  Load(&u, MakeTable("u", 1, {d8}));
  TableValue v = Num(0x105);  // only the low byte travels in the 1-byte slot
  v.bytes = "five";
  u.ApplyRecordUpdate(0, Update("u", 0, 1, {Entry(Desc("d", 16, 1, 8), v)}));
  EXPECT_EQ(AsString(u.FieldOfRecord("d", 1)), "five");
  EXPECT_EQ(AsInteger(u.FieldOfRecord("d", 1)), 5);
}

TEST(NetSyncHeap, RecordUpdateBounds) {
  const struct {
    const char* label;
    uint32_t heap_size;
    int64_t offset;
    const char* text;
    RecordUpdateResult result;
    const char* read_back;
  } cases[] = {
      {"stored", 10, 2, "abc", RecordUpdateResult::kApplied, "abc"},
      {"ends at the heap's end", 6, 2, "abc", RecordUpdateResult::kApplied, "abc"},
      {"one past the end", 5, 2, "abc", RecordUpdateResult::kBadHeap, "old"},
      {"negative offset", 10, -1, "abc", RecordUpdateResult::kBadHeap, "old"},
      {"negative size", 0x80000000u, 0, "abc", RecordUpdateResult::kBadHeap, "old"},
      {"above the ceiling", static_cast<uint32_t>(kMaxHeapBytes + 1), 0, "abc",
       RecordUpdateResult::kBadHeap, "old"},
      {"size 0 empties the heap", 0, 0, "", RecordUpdateResult::kApplied, ""},
  };
  for (const auto& c : cases) {
    SnapshotField h = Column(Desc("h", 24, 0), {Num(0)});
    h.heap = "\x03old";
    TKSBaseC t;
    Load(&t, MakeTable("t", 1, {h}));
    TableValue v = Num(c.offset);
    v.heap_size = c.heap_size;
    v.bytes = c.text;
    EXPECT_EQ(t.ApplyRecordUpdate(0, Update("t", 0, 1, {Entry(Desc("h", 24, 0), v)})), c.result)
        << c.label;
    EXPECT_EQ(AsString(t.FieldOfRecord("h", 1)), c.read_back) << c.label;
  }
}

TEST_F(NetSync, UpdateDuringEditIsStoredButNotSignalled) {
  TableRegistry reg;
  TKSBaseC* t = reg.AddTable("video");
  Load(t, MakeTable("video", 2, {Column(Desc("port", 1), {Num(1), Num(2)})}));
  t->First();
  t->Edit();
  reg.HandleRecordUpdate(Update("video", 0, 2, {Entry(Desc("port", 1), Num(77))}));
  EXPECT_FALSE(t->FlagRefresh());
  EXPECT_EQ(AsInteger(t->FieldOfPhysical(3, 1)), 77);
  t->Post();
  reg.HandleRecordUpdate(Update("video", 1, 2, {Entry(Desc("port", 1), Num(78))}));
  EXPECT_TRUE(t->FlagRefresh());
}

TEST_F(NetSync, DeletionNotice) {
  TableRegistry reg;
  TKSBaseC* t = reg.AddTable("videor");
  Load(t, MakeTable("videor", 3, {}));
  reg.HandleDeletionNotice(WriteDeletionNotice("videor", 2));
  EXPECT_EQ(t->Count(), 2);
  EXPECT_TRUE(t->FlagRefresh());
  t->SetFlagRefresh(false);
  reg.HandleDeletionNotice(WriteDeletionNotice("videor", 2));
  EXPECT_EQ(t->Count(), 2);
  EXPECT_TRUE(t->FlagRefresh());  // set whether or not a record was found
  EXPECT_FALSE(t->MarkDeleted(99));
  reg.HandleDeletionNotice(std::string_view("videor\0\0\0\x01", 10));  // short: ignored
  EXPECT_EQ(t->Count(), 2);
}

}  // namespace
}  // namespace korvel
