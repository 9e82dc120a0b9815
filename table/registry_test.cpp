// The registry: table list, snapshots with their acknowledgement, the
// positions of "video" and "videor", the reset and the message handlers.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/counted_text.h"
#include "table/record_update_writer.h"
#include "table/table_format.h"
#include "table/table_registry.h"
#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    reg_.SetAckSender([this](int32_t command, const std::string& payload) {
      EXPECT_EQ(command, table_format::kCmdSnapshotAck);
      acks_.push_back(payload);
    });
    reg_.SetLog([this](const std::string& line) { log_.push_back(line); });
    reg_.SetSendHook([this](TKSBaseC*, int32_t command, const uint8_t*, int32_t) {
      sent_.push_back(command);
    });
  }
  TableRegistry reg_;
  std::vector<std::string> acks_;
  std::vector<std::string> log_;
  std::vector<int32_t> sent_;
};

TEST_F(Registry, TableListLines) {
  reg_.AddTables("video\r\nvideor\rextra\nvideo\n\n9bad\nbad-name\n_ok1");
  ASSERT_EQ(reg_.size(), 4);
  EXPECT_EQ(reg_.Table(0)->Name(), "video");
  EXPECT_EQ(reg_.Table(1)->NameTable(), "videor");
  EXPECT_EQ(reg_.Table(2)->Name(), "extra");
  EXPECT_EQ(reg_.Table(3)->Name(), "_ok1");
  EXPECT_EQ(reg_.VideoPosition(), -1);  // only a snapshot sets the positions
  EXPECT_EQ(reg_.AddTable("toolong_9"), nullptr);
}

TEST_F(Registry, SnapshotSetsPositionsAndAcknowledges) {
  reg_.AddTables("other\nvideo");
  const auto r = reg_.LoadSnapshot(WriteSnapshot(MakeTable("video", 2, {})));
  ASSERT_NE(r.table, nullptr);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(reg_.VideoPosition(), 1);
  EXPECT_EQ(reg_.Video(), r.table);
  EXPECT_EQ(reg_.VideoRPosition(), -1);
  EXPECT_TRUE(r.table->FlagRefresh());
  EXPECT_EQ(r.table->Count(), 2);
  std::string slot;
  PutNameSlot(&slot, "video", 8);
  ASSERT_EQ(acks_.size(), 1u);
  EXPECT_EQ(acks_[0], slot);

  reg_.LoadSnapshot(WriteSnapshot(MakeTable("videor", 0, {Column(Desc("url", 2, 64), {})})));
  EXPECT_EQ(reg_.VideoRPosition(), 2);
  EXPECT_EQ(reg_.VideoR()->FieldCount(), 3);
  EXPECT_EQ(acks_.size(), 2u);  // an empty table is acknowledged too

  // The send hook reaches every registered table.
  reg_.VideoR()->Insert();
  reg_.VideoR()->Post();
  EXPECT_EQ(sent_, (std::vector<int32_t>{table_format::kCmdInsert}));
}

TEST_F(Registry, SecondSnapshotReplacesTable) {
  reg_.LoadSnapshot(WriteSnapshot(MakeTable("video", 3, {Column(Desc("gone", 1), {})})));
  TKSBaseC* t = reg_.Find("video");
  reg_.LoadSnapshot(WriteSnapshot(MakeTable("video", 1, {Column(Desc("ip", 2, 16), {Text("x")})})));
  EXPECT_EQ(reg_.Find("video"), t);
  EXPECT_FALSE(t->FieldExists("gone"));
  EXPECT_EQ(AsString(t->FieldOfRecord("ip", 1)), "x");
  EXPECT_EQ(t->Count(), 1);
}

TEST_F(Registry, RejectedAndInvalidSnapshots) {
  std::string bad = WriteSnapshot(MakeTable("video", 1, {}));
  bad[9] = '\xff';
  bad[10] = '\xff';
  bad[11] = '\xff';
  bad[12] = '\xff';  // N = -1
  auto r = reg_.LoadSnapshot(bad);
  EXPECT_EQ(r.table, nullptr);
  EXPECT_EQ(reg_.size(), 0);
  EXPECT_TRUE(acks_.empty());

  const std::string invalid = WriteSnapshot(MakeTable("1abc", 2, {}));
  r = reg_.LoadSnapshot(invalid + "tail");
  EXPECT_EQ(r.table, nullptr);
  EXPECT_EQ(r.bytes_read, invalid.size());  // read through to its end
  EXPECT_EQ(reg_.size(), 0);
  EXPECT_TRUE(acks_.empty());
}

TEST_F(Registry, ResetClearsPositions) {
  reg_.LoadSnapshot(WriteSnapshot(MakeTable("video", 1, {})));
  reg_.LoadSnapshot(WriteSnapshot(MakeTable("videor", 1, {})));
  reg_.Reset();
  EXPECT_EQ(reg_.size(), 0);
  EXPECT_EQ(reg_.VideoPosition(), -1);
  EXPECT_EQ(reg_.VideoRPosition(), -1);
  EXPECT_EQ(reg_.Video(), nullptr);
}

TEST_F(Registry, RecordUpdateBeyondRecordsIsLogged) {
  reg_.LoadSnapshot(WriteSnapshot(MakeTable("videor", 2, {})));
  reg_.HandleRecordUpdate(WriteRecordUpdate("videor", 5, 6, {{Desc("n_abs", 1), Num(6)}}));
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], Utf8ToCp1251("Превышение count -5 videor"));
  EXPECT_EQ(reg_.VideoR()->Count(), 6);
  reg_.HandleRecordUpdate(WriteRecordUpdate("videor", 2, 3, {}));  // index = rows: not logged
  EXPECT_EQ(log_.size(), 1u);
  reg_.HandleRecordUpdate(WriteRecordUpdate("nosuch", 0, 1, {}));
  reg_.HandleRecordUpdate("short");
  EXPECT_EQ(log_.size(), 1u);
  reg_.HandleRecordUpdate(WriteRecordUpdate("videor", 0, -3, {}));
  EXPECT_EQ(log_.size(), 2u);  // a bad total is dropped and logged
}

TEST_F(Registry, EditDoneCountsTables) {
  reg_.AddTables("video");
  EXPECT_EQ(reg_.HandleEditDone("video"), 1);
  EXPECT_EQ(reg_.HandleEditDone("other"), 0);
}

}  // namespace
}  // namespace korvel
