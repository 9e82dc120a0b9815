// Setters: conversions and clamps into the edit buffer, and nothing outside
// an edit.
#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

class Setters : public ::testing::Test {
 protected:
  void SetUp() override {
    SnapshotField dict = Column(Desc("k15", kFieldDict16, 2, 16), {Num(0)});
    dict.dictionary = {{"a", 3}, {Utf8ToCp1251("Камера"), 7}, {Utf8ToCp1251("КАМЕРА"), 9}};
    SnapshotField dict8 = Column(Desc("k16", kFieldDict8, 1, 16), {Num(0)});
    dict8.dictionary = {{"Zone", 0x1234}};
    Load(&t_, MakeTable("t", 1, {Column(Desc("i", 1), {}), Column(Desc("s", 2, 11), {}),
                                 Column(Desc("b", 3), {}), Column(Desc("l", 4), {}),
                                 Column(Desc("w", 5), {}), Column(Desc("f", 6), {}),
                                 Column(Desc("d", 7), {}), Column(Desc("u", 8), {}),
                                 Column(Desc("dt", 9), {Real(40000.25)}),
                                 Column(Desc("i64", 13), {}), dict, dict8,
                                 Column(Desc("h", 21), {}), Column(Desc("sec", 25), {}),
                                 Column(Desc("blk", 11, 3), {})}));
    t_.First();
    t_.Edit();
  }
  FieldKSB* F(const char* name) { return t_.FieldByName(name); }
  EditBuffer& E(const char* name) { return F(name)->edit(); }
  TKSBaseC t_;
};

TEST_F(Setters, IntegerClamps) {
  const struct {
    int32_t p;
    uint8_t byte;
    uint16_t word;
    uint32_t u32;
  } cases[] = {{-1, 255, 65535, 0}, {300, 255, 300, 300}, {70000, 255, 65535, 70000}, {7, 7, 7, 7}};
  for (const auto& c : cases) {
    SetAsInteger(F("b"), c.p);
    SetAsInteger(F("w"), c.p);
    SetAsInteger(F("u"), c.p);
    SetAsInteger(F("sec"), c.p);
    EXPECT_EQ(E("b").byte, c.byte) << c.p;
    EXPECT_EQ(E("w").word, c.word) << c.p;
    EXPECT_EQ(E("u").u32, c.u32) << c.p;
    EXPECT_EQ(E("sec").u32, c.u32) << c.p;
  }
}

TEST_F(Setters, Int64Clamps) {
  const struct {
    int64_t p;
    uint8_t byte;
    uint16_t word;
    int32_t integer;
    uint32_t u32;
  } cases[] = {{-1, 0, 0, -1, 0xFFFFFFFF}, {300, 255, 300, 300, 300},
               {0x100000005LL, 255, 65535, 5, 5}};
  for (const auto& c : cases) {
    SetAsInt64(F("b"), c.p);
    SetAsInt64(F("w"), c.p);
    SetAsInt64(F("i"), c.p);
    SetAsInt64(F("u"), c.p);
    SetAsInt64(F("i64"), c.p);
    EXPECT_EQ(E("b").byte, c.byte);
    EXPECT_EQ(E("w").word, c.word);
    EXPECT_EQ(E("i").integer, c.integer);
    EXPECT_EQ(E("u").u32, c.u32);
    EXPECT_EQ(E("i64").int64, c.p);
  }
}

TEST_F(Setters, MarkOnlyKinds) {
  SetAsInteger(F("i64"), 5);  // kind 13 takes no 32-bit value
  EXPECT_EQ(E("i64").modified, kFieldInt64);
  EXPECT_EQ(E("i64").int64, 0);
  SetAsInt64(F("h"), 5);
  EXPECT_EQ(E("h").modified, kFieldHex);
  EXPECT_EQ(E("h").integer, 0);
  SetAsInteger(F("h"), 5);
  EXPECT_EQ(E("h").integer, 5);
}

TEST_F(Setters, StringConversions) {
  SetAsString(F("d"), "abc");
  EXPECT_EQ(E("d").modified, 0);  // kind 7: an unreadable text drops the assignment
  SetAsString(F("f"), "abc");
  EXPECT_EQ(E("f").modified, kFieldSingle);
  EXPECT_EQ(E("f").single, 0.0f);
  SetAsString(F("d"), "2.5");
  EXPECT_DOUBLE_EQ(E("d").dbl, 2.5);
  SetAsString(F("b"), "257");
  EXPECT_EQ(E("b").byte, 1);
  SetAsString(F("i"), "x");
  EXPECT_EQ(E("i").integer, 0);
  SetAsString(F("l"), "T");
  EXPECT_TRUE(E("l").boolean);
  SetAsString(F("s"), std::string(300, 'x'));
  EXPECT_EQ(E("s").text.size(), 255u);
  SetAsString(F("dt"), "10:30");
  EXPECT_NEAR(E("dt").date_time, 10.5 / 24, 1e-9);
  SetAsString(F("dt"), "junk");
  EXPECT_EQ(E("dt").date_time, 0.0);
}

TEST_F(Setters, DictionaryMatchIgnoresCase) {
  SetAsString(F("k15"), Utf8ToCp1251("кАмЕрА"));
  EXPECT_EQ(E("k15").word, 7);
  EXPECT_EQ(E("k15").text, Utf8ToCp1251("Камера"));
  SetAsString(F("k15"), "none");
  EXPECT_EQ(E("k15").word, 0);
  EXPECT_EQ(E("k15").text, "none");
  SetAsString(F("k16"), "zone");
  EXPECT_EQ(E("k16").byte, 0x34);  // low 8 bits of the key
  EXPECT_EQ(E("k16").text, "Zone");
}

TEST_F(Setters, DateTimes) {
  SetAsDateTime(F("dt"), 41000.75);
  EXPECT_DOUBLE_EQ(E("dt").date_time, 41000.75);
  EXPECT_DOUBLE_EQ(E("dt").date_part, 41000);
  EXPECT_DOUBLE_EQ(E("dt").time_part, 0.75);
  SetDatePart(F("dt"), 42000.1);
  EXPECT_DOUBLE_EQ(E("dt").date_time, 42000.75);
  SetTimePart(F("dt"), 5.5);
  EXPECT_DOUBLE_EQ(E("dt").date_time, 42000.5);

  SetAsDateTime(F("sec"), 36527.5);  // 2 January 2000 12:00
  EXPECT_EQ(E("sec").u32, 86400u + 43200u);
  SetDatePart(F("sec"), 36528.25);
  EXPECT_EQ(E("sec").u32, 2u * 86400u);
  SetTimePart(F("sec"), 36528.25);
  EXPECT_EQ(E("sec").u32, 6u * 3600u);
  SetAsDateTime(F("i"), 5);  // other kinds: mark only
  EXPECT_EQ(E("i").modified, kFieldInt32);
}

TEST_F(Setters, EditLoadsDateAndTimeParts) {
  EXPECT_DOUBLE_EQ(E("dt").date_part, 40000);
  EXPECT_DOUBLE_EQ(E("dt").time_part, 0.25);
  EXPECT_EQ(E("dt").date_time, 0.0);  // the pending value itself is not loaded
}

TEST_F(Setters, BytesAndBooleans) {
  SetAsBytes(F("blk"), "ab");
  EXPECT_EQ(E("blk").block, std::string("ab\0", 3));
  SetAsBoolean(F("s"), true);
  EXPECT_EQ(E("s").text, "T");
  SetAsBoolean(F("w"), true);
  EXPECT_EQ(E("w").modified, kFieldWord);
  EXPECT_EQ(E("w").word, 0);
}

TEST_F(Setters, NothingOutsideEdit) {
  t_.Cancel();
  SetAsInteger(F("i"), 5);
  SetAsString(F("s"), "x");
  SetAsBytes(F("blk"), "abc");
  EXPECT_EQ(E("i").modified, 0);
  EXPECT_EQ(E("i").integer, 0);
  EXPECT_EQ(E("s").modified, 0);
  EXPECT_EQ(E("blk").block, "");
}

}  // namespace
}  // namespace korvel
