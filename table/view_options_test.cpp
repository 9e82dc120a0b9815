// Sorting, filtering and the master/slave link.
#include <gtest/gtest.h>

#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

std::vector<int32_t> View(const TKSBaseC& t) {
  std::vector<int32_t> v;
  for (int32_t p = 1; p <= t.Count(); ++p) v.push_back(t.ViewEntry(p));
  return v;
}

TEST(Sort, IntegerKeysArePadded) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 3, {Column(Desc("v", 1), {Num(100), Num(7), Num(-5)})}));
  t.SetSort("v");
  t.SetSorted(true);
  // Keys "100", "007", "0-5": the padding is by text length, as keys are texts.
  EXPECT_EQ(View(t), (std::vector<int32_t>{3, 2, 1}));
  TKSBaseC u;
  Load(&u, MakeTable("t", 2, {Column(Desc("v", 1), {Num(100), Num(7)})}));
  u.SetSort("v");
  u.SetSorted(true);
  EXPECT_EQ(View(u), (std::vector<int32_t>{2, 1}));
}

TEST(Sort, ByteKeysPaddedToEight) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 2, {Column(Desc("v", 3), {Num(12), Num(3)})}));
  t.SetSort("v");
  t.SetSorted(true);
  EXPECT_EQ(View(t), (std::vector<int32_t>{2, 1}));
}

TEST(Sort, TextKeysUnpaddedAndCaseInsensitive) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 4, {Column(Desc("s", 2, 8), {Text("c"), Text("B"), Text("a"), Text("ab")})}));
  t.SetSort("s");
  t.SetSorted(true);
  EXPECT_EQ(View(t), (std::vector<int32_t>{3, 4, 2, 1}));
}

TEST(Sort, UnknownSortFieldSwitchesSortingOff) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 2, {}));
  t.SetSort("none");
  t.SetSorted(true);
  EXPECT_FALSE(t.Sorted());
  EXPECT_EQ(View(t), (std::vector<int32_t>{1, 2}));
}

TEST(Filter, NoActiveConditionKeepsView) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 3, {Column(Desc("v", 1), {Num(1), Num(2), Num(3)})}));
  t.SetFiltered(true);
  EXPECT_EQ(t.Count(), 3);
}

TEST(Filter, FilterOperCombines) {
  // Record 1 meets "a = 1" and fails "b = 1"; record 2 fails both.
  const struct {
    uint8_t oper;
    std::vector<int32_t> view;
  } cases[] = {{0, {}}, {1, {1}}, {2, {1, 2}}};
  for (const auto& c : cases) {
    TKSBaseC t;
    Load(&t, MakeTable("t", 2, {Column(Desc("a", 1), {Num(1), Num(0)}),
                                Column(Desc("b", 3), {Num(0), Num(0)})}));
    SetFilterText(t.FieldByName("a"), "1");
    SetFilterText(t.FieldByName("b"), "1");
    t.SetFilterOper(c.oper);
    t.SetFiltered(true);
    EXPECT_EQ(View(t), c.view) << int{c.oper};
  }
}

TEST(Filter, Operators) {
  const struct {
    uint8_t oper;
    std::vector<int32_t> view;
  } cases[] = {{0, {2}}, {1, {1, 3}}, {2, {1}}, {3, {3}}, {4, {1, 2}}, {5, {2, 3}}};
  for (const auto& c : cases) {
    TKSBaseC t;
    Load(&t, MakeTable("t", 3, {Column(Desc("v", 1), {Num(-4), Num(5), Num(9)})}));
    SetFilterText(t.FieldByName("v"), "5");
    SetFilterMode(t.FieldByName("v"), c.oper, 0);
    t.SetFiltered(true);
    EXPECT_EQ(View(t), c.view) << int{c.oper};
  }
}

TEST(Filter, TextModes) {
  const struct {
    uint8_t oper;
    uint8_t mode;
    const char* text;
    std::vector<int32_t> view;
  } cases[] = {
      {0, 0, "AM", {1, 2}},   // contains, compared in lower case
      {0, 1, "era", {1}},     // ends with
      {0, 2, "cam", {1, 2}},  // starts with
      {0, 3, "camera", {1}},  // whole text
      {1, 0, "am", {3}},      // not contains
      {2, 0, "d", {1, 2}},    // ordinal less
      {5, 0, "d", {3}},
  };
  for (const auto& c : cases) {
    TKSBaseC t;
    Load(&t, MakeTable("t", 3, {Column(Desc("s", 2, 16), {Text("Camera"), Text("CAM-2"), Text("door")})}));
    SetFilterText(t.FieldByName("s"), c.text);
    SetFilterMode(t.FieldByName("s"), c.oper, c.mode);
    t.SetFiltered(true);
    EXPECT_EQ(View(t), c.view) << c.text << " " << int{c.oper} << "/" << int{c.mode};
  }
}

TEST(Filter, EmptyTextDeactivates) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 2, {Column(Desc("v", 1), {Num(1), Num(2)})}));
  SetFilterText(t.FieldByName("v"), "1");
  t.SetFiltered(true);
  EXPECT_EQ(t.Count(), 1);
  SetFilterText(t.FieldByName("v"), "");
  t.RebuildView();
  EXPECT_EQ(t.Count(), 2);
}

TEST(MasterSlave, SlaveFollowsMasterRecord) {
  TKSBaseC master, slave;
  Load(&master, MakeTable("m", 2, {Column(Desc("obj", 1), {Num(10), Num(20)})}));
  Load(&slave, MakeTable("s", 4, {Column(Desc("o", 1), {Num(10), Num(20), Num(20), Num(0)})}));
  master.SetRecordIndex(2);
  slave.SetMasterTable(&master);
  slave.SetMasterField("obj");
  slave.SetSlaveField("o");
  EXPECT_EQ(View(slave), (std::vector<int32_t>{2, 3}));
  slave.SetSlaveField("none");  // no such field: no effect
  EXPECT_EQ(slave.Count(), 4);
}

TEST(MasterSlave, MasterWithEmptyView) {
  TKSBaseC master, slave;
  SnapshotTable m = MakeTable("m", 1, {Column(Desc("obj", 1), {Num(10)})});
  m.fields[1].values = {Num(1)};  // its only record is deleted
  Load(&master, m);
  Load(&slave, MakeTable("s", 3, {Column(Desc("o", 1), {Num(10), Num(0), Num(0)})}));
  slave.SetMasterTable(&master);
  slave.SetMasterField("obj");
  slave.SetSlaveField("o");
  // No record selected in the master: the master value reads 0.
  EXPECT_EQ(View(slave), (std::vector<int32_t>{2, 3}));
}

TEST(MasterSlave, SlaveFieldNotAnIntegerColumnReadsZero) {
  TKSBaseC master, slave;
  Load(&master, MakeTable("m", 1, {Column(Desc("obj", 1), {Num(0)})}));
  Load(&slave, MakeTable("s", 2, {Column(Desc("o", 2, 8), {Text("5"), Text("")})}));
  master.First();
  slave.SetMasterTable(&master);
  slave.SetMasterField("obj");
  slave.SetSlaveField("o");
  EXPECT_EQ(slave.Count(), 2);
}

}  // namespace
}  // namespace korvel
