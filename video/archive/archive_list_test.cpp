#include <gtest/gtest.h>

#include <random>

#include "link/container/find_text.h"

#include "platform/byte_io.h"
#include "platform/date_time.h"
#include "video/archive/archive_date_text.h"
#include "video/archive/archive_test_fixture.h"

namespace korvel {
namespace {

using archive_test::Closed;
using archive_test::Fill;
using archive_test::Filter;
using archive_test::Rows;
using Positions = std::vector<uint32_t>;

// The year 2024 as workstation 1 would receive it.
class ArchiveListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a_ = w_.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "storage/a.mp4"));
    b_ = w_.Append(Closed(5, 12, 9, 0, 0, "Офис", "Вход", 0, "storage/b.mp4"));
    c_ = w_.Append(Closed(1, 1, 0, 0, 0, "Магазин", "Касса", 2, "storage/c.mp4"));
    // A "lost" event carries the path but is not listed.
    ArchiveEventFields lost = Closed(3, 7, 15, 0, 0, "Склад №5", "Подъезд 2", 1, "storage/a.mp4");
    lost.listed = 0;
    w_.Append(lost);
    // The "closed" event of a tile that was not recording: no path.
    w_.Append(Closed(3, 8, 10, 0, 0, "Склад №5", "Подъезд 2", 1, ""));
    // An event of another type.
    ArchiveEventFields other = Closed(3, 9, 10, 0, 0, "Склад №5", "Подъезд 2", 1, "storage/x.mp4");
    other.type = 97;
    w_.Append(other);
    // An impossible date skips only its own event.
    w_.Append(Closed(13, 1, 10, 0, 0, "Склад №5", "Подъезд 2", 1, "storage/m13.mp4"));
    d_ = w_.Append(Closed(12, 31, 23, 59, 59, "Склад №7", "Двор", 1, "storage/d.mp4"));
    Fill(w_, &entry_);
  }

  ArchiveWriter w_{2024};
  ArchiveEntry entry_;
  uint32_t a_ = 0, b_ = 0, c_ = 0, d_ = 0;
};

TEST_F(ArchiveListTest, BothFiltersEmptyListThisWorkstationAndWorkstationZeroInIndexOrder) {
  EXPECT_EQ(Rows(Filter("", "", true), &entry_), (Positions{a_, b_, d_}));
  EXPECT_EQ(Rows(Filter("", "", false), &entry_), (Positions{a_, b_, d_}));
  // Workstation 2 sees its own event and the one for any workstation.
  EXPECT_EQ(Rows(Filter("", "", true, 2), &entry_), (Positions{b_, c_}));
  EXPECT_EQ(ArchiveGridRowCount(entry_), 3);
}

TEST_F(ArchiveListTest, FiltersMatchObjectCameraAndBothDateTexts) {
  struct Case {
    const char* t1;
    const char* t2;
    bool and_mode;
    Positions want;
  };
  const Case cases[] = {
      {"склад", "", true, {a_, d_}},           // Склад №5, Склад №7 (case folded)
      {"СКЛАД №5", "", true, {a_}},
      {"вход", "", true, {b_}},                // camera text
      {"07.03", "", true, {a_}},               // "dd.mm hh:nn:ss"
      {"14:05:09", "", true, {a_}},
      {"", "2024", true, {a_, b_, d_}},        // "dd.mm.yyyy hh:nn:ss"
      {"", "07.03.2024 14", true, {a_}},
      {"12.05.2024 09:00:00", "", true, {b_}},  // only 9:00:00, not midnight
      {"склад", "2024", true, {a_, d_}},
      {"склад", "вход", true, {}},
      {"склад", "вход", false, {a_, b_, d_}},
      {"двор", "07.03", false, {a_, d_}},
      {"нет такого", "", true, {}},
      {"нет такого", "", false, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rows(Filter(c.t1, c.t2, c.and_mode), &entry_), c.want)
        << c.t1 << " / " << c.t2 << (c.and_mode ? " AND" : " OR");
  }
}

TEST_F(ArchiveListTest, MidnightLeavesTheTimeOutOfTheLongDateText) {
  ArchiveWriter w(2024);
  const uint32_t midnight = w.Append(Closed(1, 1, 0, 0, 0, "Магазин", "Касса", 1, "c.mp4"));
  ArchiveEntry entry;
  Fill(w, &entry);
  EXPECT_EQ(Rows(Filter("", "01.01.2024", true), &entry), (Positions{midnight}));
  EXPECT_EQ(Rows(Filter("", "01.01.2024 00", true), &entry), (Positions{}));
  EXPECT_EQ(Rows(Filter("", "01.01 00:00:00", true), &entry), (Positions{midnight}));
}

TEST_F(ArchiveListTest, AndWithOnlyTheSecondFilterEqualsOrWithOnlyIt) {
  for (const char* text : {"склад", "2024", "07.03", "вход", "Подъезд", "x", "9"}) {
    EXPECT_EQ(Rows(Filter("", text, true), &entry_), Rows(Filter("", text, false), &entry_))
        << text;
  }
}

TEST(ArchiveListEdge, IndexWithOnlyItsHeaderGivesOneBlankRow) {
  ArchiveWriter w(2024);
  ArchiveEntry entry;
  Fill(w, &entry);
  RebuildArchiveRows(Filter("", "", true), &entry);
  EXPECT_TRUE(entry.archive_rows.empty());
  EXPECT_EQ(ArchiveGridRowCount(entry), 2);
  ArchiveRowView row;
  EXPECT_FALSE(ReadArchiveRow(entry, 1, &row));
}

TEST(ArchiveListEdge, DamagedIndexesListNothingAndReadNothingOutside) {
  ArchiveWriter w(2024);
  w.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "a.mp4"));
  struct Case {
    const char* what;
    std::string index;
  };
  std::string kind2 = w.index();
  kind2[0] = 2;
  std::string kind7 = w.index();
  kind7[0] = 7;
  const Case cases[] = {
      {"empty", ""},
      {"header cut short", w.index().substr(0, 2)},
      {"kind 2", kind2},
      {"kind 7", kind7},
  };
  for (const Case& c : cases) {
    ArchiveEntry entry;
    Fill(w, &entry);
    entry.index = c.index;
    RebuildArchiveRows(Filter("", "", true), &entry);
    EXPECT_TRUE(entry.archive_rows.empty()) << c.what;
  }
}

TEST(ArchiveListEdge, BadEntriesAreSkippedOneByOne) {
  ArchiveWriter w(2024);
  const uint32_t good1 = w.Append(Closed(3, 7, 14, 5, 9, "Склад №5", "Подъезд 2", 1, "a.mp4"));
  const size_t record_of_good = w.records().size() - kArchiveEventSize;
  auto entry_with_offset = [&](int32_t offset) {
    PutU8(&w.index(), kArchiveEntryMarker);
    PutU16(&w.index(), kCameraEventType);
    PutI32(&w.index(), offset);
  };
  // A record whose path offset lies outside the pool: no path, not listed.
  ArchiveEventFields no_pool = Closed(3, 8, 1, 1, 1, "Склад", "К", 1, "b.mp4");
  w.Append(no_pool);
  PatchU32(&w.records(), w.records().size() - kCompactRecordSize + kCompactRecordingText,
           0x7FFFFFFFu);
  // A record whose object offset is negative: listed, with an empty object.
  const uint32_t empty_object = w.Append(Closed(3, 9, 1, 1, 1, "Склад", "К", 1, "c.mp4"));
  PatchU32(&w.records(), w.records().size() - kCompactRecordSize + kCompactObjectText,
           0x80000000u);
  entry_with_offset(-1);                                          // before the file
  entry_with_offset(static_cast<int32_t>(w.records().size()));    // at its end
  entry_with_offset(static_cast<int32_t>(w.records().size() - kArchiveEventSize + 1));  // runs past
  entry_with_offset(INT32_MAX);
  // Garbage between entries: the scan finds the next marker.
  w.index() += std::string("\x01\x02\x03", 3);
  // The same record twice is listed twice.
  entry_with_offset(static_cast<int32_t>(record_of_good));
  const uint32_t again = static_cast<uint32_t>(w.index().size() - kArchiveEntrySize);
  // A cut-off entry at the end (the tail is still arriving).
  w.index() += std::string("\xFF\x60\x00\x00", 4);

  ArchiveEntry entry;
  Fill(w, &entry);
  EXPECT_EQ(Rows(Filter("", "", true), &entry), (Positions{good1, empty_object, again}));
  ArchiveRowView row;
  ASSERT_TRUE(ReadArchiveRow(entry, 2, &row));
  EXPECT_TRUE(row.object.empty());
  // The object filter does not match the empty object, the date filter does.
  EXPECT_EQ(Rows(Filter("склад", "", true), &entry), (Positions{good1, again}));
  EXPECT_EQ(Rows(Filter("09.03", "", true), &entry), (Positions{empty_object}));
}

TEST(ArchiveListEdge, ImpossibleTimesSkipOnlyTheirEvent) {
  ArchiveWriter w(2023);
  const struct {
    int month, day, hour, minute, second;
  } bad[] = {{13, 1, 0, 0, 0}, {0, 1, 0, 0, 0}, {2, 29, 0, 0, 0}, {4, 31, 0, 0, 0},
             {1, 0, 0, 0, 0},  {1, 1, 24, 0, 0}, {1, 1, 0, 60, 0}, {1, 1, 0, 0, 60}};
  for (const auto& t : bad) w.Append(Closed(t.month, t.day, t.hour, t.minute, t.second, "O", "C", 1, "p"));
  const uint32_t good = w.Append(Closed(2, 28, 23, 59, 59, "O", "C", 1, "p"));
  ArchiveEntry entry;
  Fill(w, &entry);
  EXPECT_EQ(Rows(Filter("", "", true), &entry), (Positions{good}));
}

TEST(ArchiveDateText, MatchesTheSystemDefaultRendering) {
  const ArchiveEventTime times[] = {{2024, 3, 7, 14, 5, 9}, {2024, 1, 1, 0, 0, 0},
                                    {2024, 2, 29, 0, 0, 1}, {999, 12, 31, 23, 59, 59},
                                    {9999, 12, 31, 0, 0, 0}};
  for (const ArchiveEventTime& t : times) {
    ASSERT_TRUE(IsValidArchiveEventTime(t));
    CalendarFields f{t.year, t.month, t.day, t.hour, t.minute, t.second, 0};
    DateTime dt = 0;
    ASSERT_TRUE(EncodeDateTime(f, &dt));
    ArchiveDateTexts texts;
    FormatArchiveDateTexts(t, &texts);
    EXPECT_EQ(texts.long_text(), FormatDateTimeDefault(dt));
    EXPECT_EQ(std::string(texts.short_text()), FormatDateTimeDefault(dt).substr(0, 5) + " " +
                                                   FormatLongTime(dt));
  }
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// The list as the plain rule states it, with no shortcuts: every text
// formatted and searched for every event.
std::vector<uint32_t> ReferenceRows(const ArchiveFilter& f, const ArchiveEntry& e) {
  std::vector<uint32_t> rows;
  if (e.index.size() < 3 || e.index[0] != 1) return rows;
  const int year = DecodeU16(e.index.data() + 1);
  for (size_t p = 3; p + kArchiveEntrySize <= e.index.size(); p += kArchiveEntrySize) {
    const int64_t off = DecodeI32(e.index.data() + p + 3);
    if (off < 0 || off + static_cast<int64_t>(kArchiveEventSize) > static_cast<int64_t>(e.records.size())) continue;
    if (DecodeU16(e.index.data() + p + 1) != 96) continue;
    const char* pre = e.records.data() + off;
    const char* r = pre + 5;
    if (r[33] != 1 || ArchivePoolText(e.pool, DecodeI32(r + 28)).empty()) continue;
    const int32_t ws = DecodeI32(r + 24);
    if (ws != 0 && ws != f.video_place) continue;
    CalendarFields cf{year, pre[0], pre[1], pre[2], pre[3], pre[4], 0};
    DateTime dt = 0;
    if (!EncodeDateTime(cf, &dt)) continue;
    const std::string t2 = FormatDateTimeDefault(dt);
    const std::string t1 = t2.substr(0, 5) + " " + FormatLongTime(dt);
    const std::string_view o = ArchivePoolText(e.pool, DecodeI32(r + 4));
    const std::string_view c = ArchivePoolText(e.pool, DecodeI32(r + 16));
    auto match = [&](const std::string& t) {
      return !t.empty() && (FindTextNoCase(t, o, 1) || FindTextNoCase(t, c, 1) ||
                            FindTextNoCase(t, t1, 1) || FindTextNoCase(t, t2, 1));
    };
    const bool m1 = match(f.text1), m2 = match(f.text2);
    bool listed = true;
    if (!f.text1.empty() || !f.text2.empty()) {
      listed = f.and_mode ? (f.text1.empty() || m1) && (f.text2.empty() || m2) : m1 || m2;
    }
    if (listed) rows.push_back(static_cast<uint32_t>(p));
  }
  return rows;
}

TEST(ArchiveListReference, ManyTextsAndFiltersAgreeWithThePlainRule) {
  std::mt19937 random(20240307);
  ArchiveWriter w(2024);
  // More distinct texts than the match cache has slots.
  for (int i = 0; i < 5000; ++i) {
    const int month = 1 + static_cast<int>(random() % 13);  // 13 now and then
    w.Append(Closed(month, 1 + random() % 31, random() % 24, random() % 60, random() % 60,
                    "Склад №" + std::to_string(random() % 20000),
                    "Камера " + std::to_string(random() % 300) + (random() % 2 ? " вход" : ""),
                    static_cast<int32_t>(random() % 3), random() % 10 ? "p.mp4" : ""));
  }
  ArchiveEntry entry;
  Fill(w, &entry);
  const char* texts[] = {"",     "склад №12", "вход",  "07.03", "2024", "03.2024 1",
                         "03 1", " ",    ":0",     "1 2 3", "нет", "4:05", "9 0",
                         ".2024 00:00:00", "23:59:59"};
  for (const char* t1 : texts) {
    for (const char* t2 : texts) {
      for (bool and_mode : {true, false}) {
        const ArchiveFilter f = Filter(t1, t2, and_mode, 1);
        EXPECT_EQ(Rows(f, &entry), ReferenceRows(f, entry))
            << t1 << " / " << t2 << (and_mode ? " AND" : " OR");
      }
    }
  }
}

}  // namespace
}  // namespace korvel
