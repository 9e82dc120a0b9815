// The data model: properties, selection, structure and the view.
#include <gtest/gtest.h>

#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

TEST(Model, NewTable) {
  TKSBaseC t;
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.RecordIndex(), 1);
  EXPECT_EQ(t.MaxNumberFileds(), -1);
  EXPECT_FALSE(t.FlagRefresh());
  EXPECT_EQ(t.FilterOper(), 0);
  EXPECT_EQ(AsInteger(t.FieldByName("n_abs")), 0);
  EXPECT_EQ(AsString(t.FieldByName("n_abs")), "");
  t.RebuildView();  // no fields: nothing, no OnRefresh
}

TEST(Model, RecordIndexClampsAndIgnoresEmptyView) {
  TKSBaseC t;
  Load(&t, MakeTable("video", 3, {}));
  for (int v : {0, -3}) {
    t.SetRecordIndex(3);
    t.SetRecordIndex(v);
    EXPECT_EQ(t.RecordIndex(), 1);
    EXPECT_EQ(t.CurrentRecord(), 1);
  }
  t.SetRecordIndex(2);
  t.SetRecordIndex(9);  // beyond the view: selection kept
  EXPECT_EQ(t.RecordIndex(), 2);

  TKSBaseC empty;
  Load(&empty, MakeTable("e", 0, {}));
  empty.SetRecordIndex(2);
  EXPECT_EQ(empty.RecordIndex(), 1);
  EXPECT_EQ(empty.CurrentRecord(), 0);
}

TEST(Model, AddFieldKeepsExistingKind) {
  TKSBaseC t;
  EXPECT_EQ(t.AddField(Desc("a", kFieldInt32)), 0);
  EXPECT_EQ(t.AddField(Desc("b", kFieldText, 11)), 1);
  EXPECT_EQ(t.AddField(Desc("a", kFieldText, 30)), 0);
  EXPECT_EQ(t.FieldKind("a"), kFieldInt32);
  EXPECT_EQ(t.FieldWidth("a"), 4);
  EXPECT_EQ(t.MaxNumberFileds(), 1);
}

TEST(Model, ClearStructure) {
  TKSBaseC t;
  Load(&t, MakeTable("video", 3, {}));
  t.ClearStructure();
  EXPECT_EQ(t.MaxNumberFileds(), -1);
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.FieldByName("n_abs"), nullptr);
  EXPECT_FALSE(t.FieldExists("p_d"));
}

TEST(Model, DeletedBitHides) {
  TKSBaseC t;
  SnapshotTable s = MakeTable("video", 3, {});
  s.fields[1].values = {Num(3), Num(2), Num(0)};
  Load(&t, s);
  EXPECT_EQ(t.Count(), 2);
  EXPECT_EQ(t.ViewEntry(1), 2);
  EXPECT_EQ(t.ViewEntry(2), 3);
}

TEST(Model, HidesByFieldNamedPdWhenItIsNotSecond) {
  TKSBaseC t;
  SnapshotTable s;
  s.name = "x";
  s.records = 2;
  s.fields = {Column(Desc("n_abs", kFieldInt32), {Num(1), Num(2)}),
              Column(Desc("flags", kFieldByte), {Num(1), Num(1)}),
              Column(Desc("p_d", kFieldByte), {Num(0), Num(1)})};
  Load(&t, s);
  EXPECT_EQ(t.Count(), 1);
  EXPECT_EQ(t.ViewEntry(1), 1);
  EXPECT_TRUE(t.MarkDeleted(1));
  t.RebuildView();
  EXPECT_EQ(t.Count(), 0);
}

TEST(Model, FlagRefreshIgnoredWhileEditing) {
  TKSBaseC t;
  Load(&t, MakeTable("video", 1, {}));
  t.First();
  t.Edit();
  t.SetFlagRefresh(true);
  EXPECT_FALSE(t.FlagRefresh());
  t.Cancel();
  t.SetFlagRefresh(true);
  EXPECT_TRUE(t.FlagRefresh());
}

TEST(Model, OnRefreshRaisedByRebuild) {
  TKSBaseC t;
  int raised = 0;
  t.SetOnRefresh([&](TKSBaseC* sender) {
    EXPECT_EQ(sender, &t);
    ++raised;
  });
  Load(&t, MakeTable("video", 2, {}));
  EXPECT_EQ(raised, 1);
  t.Insert();
  t.RebuildView();  // not ready: nothing
  EXPECT_EQ(raised, 1);
}

TEST(Model, PublishedPropertiesHold) {
  TKSBaseC t;
  t.SetPortNet(5);
  t.SetAutoSave(true);
  t.SetDefaultTable("d");
  int events = 0;
  t.SetOnNetEvent([&](TKSBaseC*, const void*, int32_t, int32_t) { ++events; });
  t.SetOnFieldRefresh([&](TKSBaseC*, const std::vector<std::string>*) { ++events; });
  Load(&t, MakeTable("video", 2, {}));
  EXPECT_EQ(t.PortNet(), 5);
  EXPECT_TRUE(t.AutoSave());
  EXPECT_EQ(t.DefaultTable(), "d");
  EXPECT_TRUE(static_cast<bool>(t.OnNetEvent()));
  EXPECT_EQ(events, 0);  // never raised
}

}  // namespace
}  // namespace korvel
