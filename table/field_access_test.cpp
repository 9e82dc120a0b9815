// Lookups and getters: the access record, conversions by kind, pending
// values and the bounds of every read.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/codepage.h"
#include "table/table_registry.h"
#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

TKSBaseC* LoadOne(TKSBaseC* t, SnapshotField f) {
  SnapshotTable s = MakeTable("t", 1, {});
  s.fields.push_back(std::move(f));
  Load(t, s);
  t->First();
  return t;
}

TEST(FieldAccess, FieldOfRecordOutsideViewKeepsAccessRecord) {
  TKSBaseC t;
  Load(&t, MakeTable("video", 3, {Column(Desc("port", kFieldInt32), {Num(10), Num(20), Num(30)})}));
  EXPECT_EQ(AsInteger(t.FieldOfRecord("port", 2)), 20);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("port", 0)), 20);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("port", 4)), 20);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("port", 3)), 30);
  EXPECT_EQ(t.FieldOfRecord("nope", 1), nullptr);
  EXPECT_EQ(AsInteger(t.FieldOfPhysical(3, 1)), 10);
  EXPECT_EQ(t.FieldOfPhysical(4, 2), nullptr);
  EXPECT_EQ(t.AccessRecord(), 2);
}

TEST(FieldAccess, EmptyViewGivesRecordNotFound) {
  TKSBaseC t;
  SnapshotTable s = MakeTable("video", 2, {Column(Desc("port", kFieldInt32), {Num(1), Num(2)})});
  s.fields[1].values = {Num(1), Num(1)};
  Load(&t, s);
  EXPECT_EQ(t.Count(), 0);
  EXPECT_EQ(t.AccessRecord(), -1);
  EXPECT_EQ(AsString(t.FieldByName("port")), Utf8ToCp1251("Запись не найдена"));
  EXPECT_EQ(AsInteger(t.FieldByName("port")), 0);
  EXPECT_EQ(std::string(kRecordNotFoundText), Utf8ToCp1251("Запись не найдена"));
}

TEST(FieldAccess, BeyondColumnIsEmpty) {
  TKSBaseC t;
  Load(&t, MakeTable("video", 2, {Column(Desc("ip", kFieldText, 16), {Text("a"), Text("b")})}));
  EXPECT_EQ(AsString(t.FieldOfPhysical(3, 7)), "");
  EXPECT_EQ(AsInteger(t.FieldOfPhysical(1, 7)), 0);
  EXPECT_EQ(AsString(t.FieldOfPhysical(1, 0)), Utf8ToCp1251("Запись не найдена"));
}

struct TextCase {
  const char* label;
  FieldDescriptor desc;
  TableValue value;
  std::string text;
};

TEST(FieldAccess, AsStringByKind) {
  TableValue block;
  block.bytes = std::string("\x01\x14", 2);
  TableValue flags;
  flags.bytes = std::string("\x01\x00\x01", 3);
  TableValue list;
  list.texts = {"ab", "", "c"};
  const TextCase cases[] = {
      {"int", Desc("f", 1), Num(-5), "-5"},
      {"text", Desc("f", 2, 11), Text("hello"), "hello"},
      {"byte", Desc("f", 3), Num(200), "200"},
      {"bool", Desc("f", 4), Num(1), "T"},
      {"bool false", Desc("f", 4), Num(0), "F"},
      {"word", Desc("f", 5), Num(65535), "65535"},
      {"single", Desc("f", 6), Real(0.5), "0.5"},
      {"double", Desc("f", 7), Real(1e20), "1E20"},
      {"double small", Desc("f", 7), Real(-2.25), "-2.25"},
      {"u32", Desc("f", 8), Num(4000000000), "4000000000"},
      {"datetime", Desc("f", 9), Real(36526.5), "01.01.2000 12:00:00"},
      {"datetime midnight", Desc("f", 9), Real(36527), "02.01.2000"},
      {"datetime zero", Desc("f", 9), Real(0), ""},
      {"datetime invalid", Desc("f", 9), Real(1e12), ""},
      {"datetime nan", Desc("f", 9), Real(std::nan("")), ""},
      {"block", Desc("f", 11, 2), block, "1 20 "},
      {"int64", Desc("f", 13), Num(-9000000000), "-9000000000"},
      {"no text 10", Desc("f", 10), Num(7), ""},
      {"no text 20", Desc("f", 20), Num(7), ""},
      {"hex", Desc("f", 21), Num(255), "00FF"},
      {"hex negative", Desc("f", 21), Num(-1), "FFFFFFFF"},
      {"flags", Desc("f", 22, 3), flags, "TFT"},
      {"list", Desc("f", 23, 3, 4), list, "\"ab\" \"\" \"c\" "},
      {"seconds", Desc("f", 25), Num(86400 + 3600), "02.01.2000 01:00:00"},
      {"seconds zero", Desc("f", 25), Num(0), "01.01.2000"},
      {"r_dt", Desc("r_dt", 8), Num(86400), "02.01.2000"},
  };
  for (const TextCase& c : cases) {
    TKSBaseC t;
    LoadOne(&t, Column(c.desc, {c.value}));
    EXPECT_EQ(AsString(t.FieldByName(c.desc.name)), c.text) << c.label;
  }
}

TEST(FieldAccess, CountedTextLongerThanSlotIsCut) {
  // A kind-2 slot of 4 bytes whose length byte says 200.
  TKSBaseC t;
  LoadOne(&t, Column(Desc("f", 2, 4), {Text("abc")}));
  std::string raw = WriteSnapshot(MakeTable("t", 1, {Column(Desc("f", 2, 4), {Text("abc")})}));
  const size_t slot = raw.size() - 4;
  raw[slot] = static_cast<char>(200);
  size_t read = 0;
  bool complete = false;
  ASSERT_TRUE(LoadSnapshotInto(&t, raw, &read, &complete));
  t.RebuildView();
  t.First();
  EXPECT_EQ(AsString(t.FieldByName("f")), "abc");
}

TEST(FieldAccess, DictionaryTexts) {
  SnapshotField f = Column(Desc("kind", kFieldDict16, 2, 16), {Num(0)});
  f.dictionary = {{"zero", 0}, {"seven", 7}};
  TKSBaseC t;
  LoadOne(&t, f);
  EXPECT_EQ(AsString(t.FieldByName("kind")), "");  // code 0, though key 0 exists
  std::vector<DictionaryLine> lines{{"x", 1}};
  t.GetDictionary("kind", &lines);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].text, "seven");
  EXPECT_EQ(lines[1].key, 7u);
  t.GetDictionary("n_abs", &lines);
  EXPECT_TRUE(lines.empty());

  SnapshotField g = Column(Desc("k8", kFieldDict8, 1, 8), {Num(3)});
  g.dictionary = {{"three", 3}};
  TKSBaseC u;
  LoadOne(&u, g);
  EXPECT_EQ(AsString(u.FieldByName("k8")), "three");
  EXPECT_EQ(AsInteger(u.FieldByName("k8")), 3);
}

TEST(FieldAccess, Seconds2000AsDateTime) {
  TKSBaseC t;
  LoadOne(&t, Column(Desc("lasttime", 25), {Num(86400)}));
  EXPECT_DOUBLE_EQ(AsDateTime(t.FieldByName("lasttime")), 36527.0);  // 2 January 2000
  TKSBaseC u;
  LoadOne(&u, Column(Desc("lasttime", 25), {Num(0)}));
  EXPECT_DOUBLE_EQ(AsDateTime(u.FieldByName("lasttime")), 36526.0);
  TKSBaseC w;  // the largest count: 64-bit arithmetic, no overflow
  LoadOne(&w, Column(Desc("lasttime", 25), {Num(0xFFFFFFFF)}));
  EXPECT_NEAR(AsDateTime(w.FieldByName("lasttime")), 36526.0 + 4294967295.0 / 86400, 1e-6);
}

TEST(FieldAccess, FloatsSaturate) {
  const struct {
    double v;
    int32_t i;
  } cases[] = {{1e300, std::numeric_limits<int32_t>::max()},
               {-1e300, std::numeric_limits<int32_t>::min()},
               {std::nan(""), 0},
               {-7.9, -7}};
  for (const auto& c : cases) {
    TKSBaseC t;
    LoadOne(&t, Column(Desc("f", 7), {Real(c.v)}));
    EXPECT_EQ(AsInteger(t.FieldByName("f")), c.i) << c.v;
    const float f = AsFloat(t.FieldByName("f"));
    if (std::isnan(c.v)) {
      EXPECT_TRUE(std::isnan(f));
    } else if (std::fabs(c.v) > 1e38) {
      EXPECT_TRUE(std::isinf(f));
    }
  }
  TKSBaseC d;
  LoadOne(&d, Column(Desc("d", 9), {Real(1e30)}));
  EXPECT_EQ(AsInteger(d.FieldByName("d")), std::numeric_limits<int32_t>::max());
}

TEST(FieldAccess, IntegerAndBooleanConversions) {
  TKSBaseC t;
  SnapshotTable s = MakeTable("t", 1, {Column(Desc("txt", 2, 8), {Text("42")}),
                                       Column(Desc("b", 4), {Num(1)}),
                                       Column(Desc("w", 5), {Num(1)}),
                                       Column(Desc("u", 8), {Num(0xFFFFFFFF)}),
                                       Column(Desc("d", 9), {Real(36526.75)}),
                                       Column(Desc("h", 21), {Num(5)}),
                                       Column(Desc("t2", 2, 8), {Text("T")}),
                                       Column(Desc("bad", 2, 8), {Text("4x")})});
  Load(&t, s);
  t.First();
  EXPECT_EQ(AsInteger(t.FieldByName("txt")), 42);
  EXPECT_EQ(AsInteger(t.FieldByName("bad")), 0);
  EXPECT_EQ(AsInteger(t.FieldByName("u")), -1);
  EXPECT_EQ(AsInteger(t.FieldByName("d")), 36526);
  EXPECT_EQ(AsInteger(t.FieldByName("h")), 0);  // kind 21 has no integer reading
  EXPECT_TRUE(AsBoolean(t.FieldByName("b")));
  EXPECT_TRUE(AsBoolean(t.FieldByName("w")));
  EXPECT_TRUE(AsBoolean(t.FieldByName("t2")));
  EXPECT_FALSE(AsBoolean(t.FieldByName("txt")));
  bool ok = true;
  EXPECT_FLOAT_EQ(AsFloat(t.FieldByName("txt"), &ok), 42.0f);
  EXPECT_TRUE(ok);
  EXPECT_EQ(AsFloat(t.FieldByName("bad"), &ok), 0.0f);
  EXPECT_FALSE(ok);
  EXPECT_EQ(AsBytes(t.FieldByName("u")), std::string(4, '\0'));
  EXPECT_EQ(AsDateTime(t.FieldByName("u")), 0.0);
}

TEST(FieldAccess, HeapTexts) {
  std::string heap;
  heap += '\x02';
  heap += "12";
  heap += '\x03';
  heap += "abc";
  heap += '\x09';  // runs past the heap's end
  heap += "xy";
  SnapshotField f = Column(Desc("h", kFieldHeap, 0),
                           {Num(0), Num(3), Num(7), Num(-1), Num(1000)});
  f.heap = heap;
  TKSBaseC t;
  SnapshotTable s = MakeTable("t", 5, {f});
  Load(&t, s);
  const char* texts[] = {"12", "abc", "xy", "", ""};
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(AsString(t.FieldOfRecord("h", r)), texts[r - 1]) << r;
  bool ok = false;
  EXPECT_EQ(AsInteger(t.FieldOfRecord("h", 1), &ok), 12);
  EXPECT_TRUE(ok);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("h", 2), &ok), 0);
  EXPECT_FALSE(ok);  // not an integer: a conversion error for the caller
  EXPECT_EQ(AsInteger(t.FieldOfRecord("h", 4), &ok), 0);
  EXPECT_TRUE(ok);  // no heap text
}

TEST(FieldAccess, PendingValuesDuringEdit) {
  TKSBaseC t;
  Load(&t, MakeTable("t", 1, {Column(Desc("i", 1), {Num(5)}), Column(Desc("s", 2, 8), {Text("old")}),
                              Column(Desc("f", 6), {Real(1.5)}), Column(Desc("d", 9), {Real(40000)}),
                              Column(Desc("b", 11, 2), {Text("ab")})}));
  t.First();
  t.Edit();
  SetAsInteger(t.FieldByName("i"), 9);
  SetAsString(t.FieldByName("s"), "new");
  SetAsString(t.FieldByName("f"), "2.5");
  SetAsDateTime(t.FieldByName("d"), 41000.5);
  SetAsBytes(t.FieldByName("b"), "xyz");
  EXPECT_EQ(AsInteger(t.FieldByName("i")), 9);
  EXPECT_EQ(AsString(t.FieldByName("i")), "5");  // AsString: stored value
  EXPECT_EQ(AsString(t.FieldByName("s")), "old");
  EXPECT_FLOAT_EQ(AsFloat(t.FieldByName("f")), 2.5f);
  EXPECT_DOUBLE_EQ(AsDateTime(t.FieldByName("d")), 41000.5);
  EXPECT_EQ(AsBytes(t.FieldByName("b")), "xy");
  t.Cancel();
  EXPECT_EQ(AsInteger(t.FieldByName("i")), 5);
  EXPECT_EQ(AsBytes(t.FieldByName("b")), "ab");
}

TEST(FieldAccess, NullFieldIsSafe) {
  FieldKSB* none = nullptr;
  EXPECT_EQ(AsInteger(none), 0);
  EXPECT_FALSE(AsBoolean(none));
  EXPECT_EQ(AsFloat(none), 0.0f);
  EXPECT_EQ(AsDateTime(none), 0.0);
  EXPECT_EQ(AsBytes(none), "");
  EXPECT_EQ(AsString(none), "");
  SetAsInteger(none, 1);
  SetAsInt64(none, 1);
  SetAsBoolean(none, true);
  SetAsDateTime(none, 1);
  SetDatePart(none, 1);
  SetTimePart(none, 1);
  SetAsString(none, "x");
  SetAsBytes(none, "x");
  SetFilterText(none, "x");
  SetFilterMode(none, 1, 1);
}

}  // namespace
}  // namespace korvel
