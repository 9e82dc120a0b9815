// Snapshot loading: a round trip of every kind, and payloads that lie about
// their sizes.
#include <gtest/gtest.h>

#include "platform/byte_io.h"
#include "table/table_format.h"
#include "table/table_registry.h"
#include "table/table_test_util.h"

namespace korvel {
namespace {

using namespace testing;

// A table of three records with one field of every kind.
SnapshotTable AllKinds() {
  TableValue block1, block2;
  block1.bytes = "\x01\x02\x03";
  block2.bytes = std::string("\x00\xff\x10", 3);
  TableValue list1, list2;
  list1.texts = {"one", "two"};
  list2.texts = {"", "three"};
  SnapshotField d15 = Column(Desc("d15", 15, 2, 12), {Num(7), Num(0), Num(9)});
  d15.dictionary = {{"seven", 7}, {"nine", 9}};
  SnapshotField d16 = Column(Desc("d16", 16, 1, 6), {Num(2), Num(2), Num(0)});
  d16.dictionary = {{"two", 2}};
  SnapshotField heap = Column(Desc("heap", 24, 0), {Num(0), Num(4), Num(0)});
  heap.heap = std::string("\x03" "abc" "\x02" "de", 7);
  SnapshotField odd = Column(Desc("odd", 17, 4), {});
  SnapshotField outside = Column(Desc("out", 40, 4), {});
  return MakeTable(
      "all", 3,
      {Column(Desc("i", 1), {Num(-1), Num(2), Num(3)}),
       Column(Desc("s", 2, 9), {Text("abc"), Text(""), Text("12345678")}),
       Column(Desc("l", 4), {Num(1), Num(0), Num(1)}),
       Column(Desc("w", 5), {Num(1), Num(2), Num(65535)}),
       Column(Desc("f", 6), {Real(1.5), Real(-2), Real(0)}),
       Column(Desc("d", 7), {Real(3.25), Real(0), Real(-1e10)}),
       Column(Desc("u", 8), {Num(1), Num(0xFFFFFFFF), Num(3)}),
       Column(Desc("dt", 9), {Real(36526.5), Real(0), Real(45000)}),
       Column(Desc("i10", 10), {Num(10), Num(11), Num(12)}),
       Column(Desc("blk", 11, 3), {block1, block2}),
       Column(Desc("i12", 12), {Num(1), Num(2), Num(3)}),
       Column(Desc("i13", 13), {Num(-5000000000), Num(0), Num(1)}),
       Column(Desc("i14", 14), {Num(4), Num(5), Num(6)}), d15, d16, odd,
       Column(Desc("ch", 18), {Num('a'), Num('b'), Num('c')}),
       Column(Desc("i19", 19), {Num(7), Num(8), Num(9)}),
       Column(Desc("i20", 20), {Num(1), Num(2), Num(3)}),
       Column(Desc("hex", 21), {Num(0xABC), Num(0), Num(1)}),
       Column(Desc("flg", 22, 2), {block1, block2}),
       Column(Desc("lst", 23, 2, 8), {list1, list2}), heap,
       Column(Desc("sec", 25), {Num(0), Num(60), Num(86400)}), outside});
}

TEST(Snapshot, EveryKindRoundTrips) {
  const SnapshotTable s = AllKinds();
  const std::string payload = WriteSnapshot(s);
  TKSBaseC t;
  size_t read = 0;
  bool complete = false;
  ASSERT_TRUE(LoadSnapshotInto(&t, payload, &read, &complete));
  EXPECT_TRUE(complete);
  EXPECT_EQ(read, payload.size());
  t.RebuildView();
  EXPECT_EQ(t.Count(), 3);
  ASSERT_EQ(t.FieldCount(), static_cast<int32_t>(s.fields.size()));
  for (int32_t i = 0; i < t.FieldCount(); ++i) {
    EXPECT_EQ(t.Field(i)->name(), s.fields[i].descriptor.name);
    EXPECT_EQ(t.Field(i)->kind(), s.fields[i].descriptor.kind);
  }
  const struct {
    const char* field;
    const char* texts[3];
  } expect[] = {
      {"i", {"-1", "2", "3"}},
      {"s", {"abc", "", "12345678"}},
      {"l", {"T", "F", "T"}},
      {"w", {"1", "2", "65535"}},
      {"f", {"1.5", "-2", "0"}},
      {"d", {"3.25", "0", "-10000000000"}},
      {"u", {"1", "4294967295", "3"}},
      {"dt", {"01.01.2000 12:00:00", "", "15.03.2023"}},
      {"blk", {"1 2 3 ", "0 255 16 ", "0 0 0 "}},
      {"i13", {"-5000000000", "0", "1"}},
      {"d15", {"seven", "", "nine"}},
      {"d16", {"two", "two", ""}},
      {"hex", {"0ABC", "0000", "0001"}},
      {"flg", {"TF", "FF", "FF"}},
      {"lst", {"\"one\" \"two\" ", "\"\" \"three\" ", "\"\" \"\" "}},
      {"heap", {"abc", "de", "abc"}},
      {"sec", {"01.01.2000", "01.01.2000 00:01:00", "02.01.2000"}},
      {"i10", {"", "", ""}},
      {"odd", {"", "", ""}},
  };
  for (const auto& e : expect)
    for (int r = 1; r <= 3; ++r)
      EXPECT_EQ(AsString(t.FieldOfRecord(e.field, r)), e.texts[r - 1]) << e.field << " " << r;
  EXPECT_EQ(AsInteger(t.FieldOfRecord("i19", 2)), 0);
  EXPECT_EQ(AsBytes(t.FieldOfRecord("blk", 2)), std::string("\x00\xff\x10", 3));
  EXPECT_EQ(AsInteger(t.FieldOfRecord("ch", 3)), 0);
}

TEST(Snapshot, EmptyTableHasFieldsAndNoColumnBytes) {
  SnapshotTable s = MakeTable("e", 0, {Column(Desc("d15", 15, 2, 12), {})});
  s.fields[2].dictionary = {{"x", 1}};  // not written: no column bytes when N is 0
  const std::string payload = WriteSnapshot(s);
  EXPECT_EQ(payload.size(), 17u + 3 * 33);
  TKSBaseC t;
  size_t read = 0;
  bool complete = false;
  ASSERT_TRUE(LoadSnapshotInto(&t, payload, &read, &complete));
  EXPECT_EQ(read, payload.size());
  EXPECT_EQ(t.FieldCount(), 3);
  EXPECT_EQ(t.Count(), 0);
}

TEST(Snapshot, EmptyHeapReadsEmpty) {
  SnapshotField heap = Column(Desc("h", 24, 0), {Num(0), Num(5)});
  TKSBaseC t;
  Load(&t, MakeTable("t", 2, {heap}));
  EXPECT_EQ(t.Field(2)->heap().size(), 1u);  // stored as a single zero byte
  EXPECT_EQ(AsString(t.FieldOfRecord("h", 1)), "");
  EXPECT_EQ(AsString(t.FieldOfRecord("h", 2)), "");
}

TEST(Snapshot, EveryTruncationLoadsAPrefix) {
  const std::string payload = WriteSnapshot(AllKinds());
  for (size_t n = 0; n < payload.size(); ++n) {
    TKSBaseC t;
    size_t read = 0;
    bool complete = true;
    const bool accepted = LoadSnapshotInto(&t, payload.substr(0, n), &read, &complete);
    EXPECT_EQ(accepted, n >= 17) << n;
    EXPECT_FALSE(complete) << n;
    EXPECT_LE(read, n);
    t.RebuildView();
    for (int32_t r = 1; r <= t.Count(); ++r)
      for (int32_t f = 1; f <= t.FieldCount(); ++f) AsString(t.FieldOfPhysical(f, r));
  }
}

TEST(Snapshot, InflatedCountLoadsWhatIsThere) {
  std::string payload = WriteSnapshot(MakeTable("t", 2, {Column(Desc("s", 2, 200), {Text("a"), Text("b")})}));
  PatchU32(&payload, 9, 3'000'000);  // N far beyond the bytes
  TKSBaseC t;
  size_t read = 0;
  bool complete = true;
  ASSERT_TRUE(LoadSnapshotInto(&t, payload, &read, &complete));
  EXPECT_FALSE(complete);
  EXPECT_EQ(t.TotalRecords(), 3'000'000);
  // The n_abs column took every remaining byte as records; nothing was
  // allocated beyond the payload.
  EXPECT_LE(t.Field(0)->rows() * 4, payload.size());
  EXPECT_EQ(t.FieldCount(), 1);
  t.RebuildView();
  EXPECT_EQ(t.Count(), 3'000'000);
  EXPECT_EQ(AsString(t.FieldOfRecord("n_abs", 2'999'999)), "");
}

TEST(Snapshot, RejectedHeaders) {
  const struct {
    const char* label;
    int32_t records;
    int32_t fields;
  } cases[] = {{"negative N", -1, 2}, {"N above the ceiling", kMaxRecords + 1, 2},
               {"negative F", 2, -1}};
  for (const auto& c : cases) {
    std::string payload = WriteSnapshot(MakeTable("t", 2, {}));
    PatchU32(&payload, 9, static_cast<uint32_t>(c.records));
    PatchU32(&payload, 13, static_cast<uint32_t>(c.fields));
    TKSBaseC t;
    Load(&t, MakeTable("t", 1, {}));
    size_t read = 0;
    bool complete = false;
    EXPECT_FALSE(LoadSnapshotInto(&t, payload, &read, &complete)) << c.label;
    EXPECT_EQ(t.FieldCount(), 2) << c.label;  // the table is left as it was
    EXPECT_EQ(t.TotalRecords(), 1) << c.label;
  }
}

TEST(Snapshot, WidthsBeyondCeilingsStopLoading) {
  FieldDescriptor negative = Desc("s", 2, 4);
  negative.width = -4;
  const struct {
    const char* label;
    FieldDescriptor desc;
  } cases[] = {{"text 257", Desc("s", 2, 257)},
               {"text negative", negative},
               {"block 65537", Desc("b", 11, 65537)},
               {"dict text width 300", Desc("d", 15, 2, 300)},
               {"list too big", Desc("l", 23, 1000, 200)}};
  for (const auto& c : cases) {
    SnapshotTable s = MakeTable("t", 1, {Column(c.desc, {}), Column(Desc("after", 1), {Num(5)})});
    const std::string payload = WriteSnapshot(s);
    TKSBaseC t;
    size_t read = 0;
    bool complete = true;
    ASSERT_TRUE(LoadSnapshotInto(&t, payload, &read, &complete)) << c.label;
    EXPECT_FALSE(complete) << c.label;
    EXPECT_EQ(t.FieldCount(), 2) << c.label;
    EXPECT_EQ(read, 17u + (33 + 4) + (33 + 1)) << c.label;  // n_abs and p_d only
  }
}

TEST(Snapshot, InflatedDictionaryAndHeapSizes) {
  SnapshotField d = Column(Desc("d", 15, 2, 8), {Num(1)});
  d.dictionary = {{"one", 1}};
  std::string payload = WriteSnapshot(MakeTable("t", 1, {d}));
  const size_t dict_count = payload.size() - (4 + 8) - 4;
  PatchU32(&payload, dict_count, 1'000'000'000);
  TKSBaseC t;
  size_t read = 0;
  bool complete = true;
  ASSERT_TRUE(LoadSnapshotInto(&t, payload, &read, &complete));
  EXPECT_FALSE(complete);
  EXPECT_EQ(t.Field(2)->dictionary_keys().size(), 1u);

  SnapshotField h = Column(Desc("h", 24, 0), {Num(0)});
  h.heap = std::string("\x02hi", 3);
  payload = WriteSnapshot(MakeTable("t", 1, {h}));
  PatchU32(&payload, payload.size() - 3 - 4, 0x7FFFFFFF);
  TKSBaseC u;
  ASSERT_TRUE(LoadSnapshotInto(&u, payload, &read, &complete));
  EXPECT_FALSE(complete);
  EXPECT_EQ(u.Field(2)->heap(), std::string("\x02hi", 3));
  u.RebuildView();
  EXPECT_EQ(AsString(u.FieldOfRecord("h", 1)), "hi");
}

TEST(Snapshot, DuplicateFieldNameKeepsFirstDefinition) {
  SnapshotTable s = MakeTable("t", 1, {Column(Desc("x", 1), {Num(42)}),
                                       Column(Desc("x", 2, 20), {Text("text")}),
                                       Column(Desc("y", 1), {Num(7)})});
  TKSBaseC t;
  Load(&t, s);
  EXPECT_EQ(t.FieldCount(), 4);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("x", 1)), 42);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("y", 1)), 7);
}

TEST(Snapshot, FixedKindsIgnoreDescriptorWidth) {
  // Kind 1 described with width 8: the snapshot column still uses 4 bytes.
  SnapshotField f = Column(Desc("v", 1, 8), {Num(11), Num(12)});
  TKSBaseC t;
  Load(&t, MakeTable("t", 2, {f, Column(Desc("after", 1), {Num(1), Num(2)})}));
  EXPECT_EQ(AsInteger(t.FieldOfRecord("v", 2)), 12);
  EXPECT_EQ(AsInteger(t.FieldOfRecord("after", 2)), 2);
}

}  // namespace
}  // namespace korvel
