#include "link/container/ks_data_s.h"

#include <gtest/gtest.h>

#include "platform/byte_io.h"
#include "platform/counted_text.h"

namespace korvel {
namespace {

struct Param {
  uint8_t type;
  int32_t size;
  std::string name = "p";
};

// Builds container images for the tests, in image order.
class ImageBuilder {
 public:
  explicit ImageBuilder(int32_t groups) {
    PutI32(&bytes_, 0x0A);               // HeaderA
    PutI32(&bytes_, 0x0B);               // HeaderB
    bytes_.append("DDDDDDDD", 8);        // HeaderD
    PutI32(&bytes_, 0x0C);               // HeaderC
    PutI32(&bytes_, groups);
  }
  ImageBuilder& Group(int32_t id, int32_t auto_number, std::string_view name,
                      const std::vector<Param>& params, const std::vector<std::string>& records) {
    PutI32(&bytes_, id);
    PutI32(&bytes_, auto_number);
    PutCountedText(&bytes_, name);
    PutI32(&bytes_, static_cast<int32_t>(params.size()));
    int32_t pid = 1;
    for (const Param& p : params) {
      PutI32(&bytes_, pid++);
      PutNameSlot(&bytes_, p.name, kFieldNameCapacity);
      PutU8(&bytes_, p.type);
      PutI32(&bytes_, p.size);
      PutI32(&bytes_, 0);
    }
    PutI32(&bytes_, static_cast<int32_t>(records.size()));
    for (const std::string& r : records) {
      PutI32(&bytes_, static_cast<int32_t>(r.size()));
      bytes_ += r;
    }
    return *this;
  }
  ImageBuilder& Raw(std::string_view b) {
    bytes_ += b;
    return *this;
  }
  ImageBuilder& I32(int32_t v) {
    PutI32(&bytes_, v);
    return *this;
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

const std::string kExampleRecord("\x07\x00\x00\x00\x03" "abc" "\x09\x00", 10);
const std::vector<Param> kExampleParams = {{1, 4}, {24, 1}, {5, 2}};

TEST(KsDataSTest, EmptyImageOf24Bytes) {
  ImageBuilder b(0);
  ASSERT_EQ(b.bytes().size(), kContainerHeaderSize);
  TKSDataS c;
  c.LoadFromBytes(b.bytes());
  EXPECT_EQ(c.GroupCount(), 0);
  EXPECT_EQ(c.LastGroupIndex(), -1);
  EXPECT_EQ(c.HeaderA(), 0x0A);
  EXPECT_EQ(c.HeaderB(), 0x0B);
  EXPECT_EQ(c.HeaderC(), 0x0C);  // read after HeaderD
  EXPECT_EQ(c.HeaderD(), "DDDDDDDD");
  int32_t r = 0;
  EXPECT_EQ(c.LocateField(0, 0, &r), -1);
}

TEST(KsDataSTest, ExampleRecordOffsetsAndText) {
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(7, 1, "", kExampleParams, {kExampleRecord}).bytes());
  ASSERT_EQ(c.GroupCount(), 1);
  const stru_ksdata_group& g = c.Groups()[0];
  EXPECT_EQ(g.GroupId, 7);
  EXPECT_EQ(g.GroupName, "");
  EXPECT_EQ(g.ParamCount, 3);
  EXPECT_EQ(g.CurrentRecord, 0);
  int32_t r = 0;
  EXPECT_EQ(c.LocateField(0, 0, &r), 0);
  r = 0;
  EXPECT_EQ(c.LocateField(0, 1, &r), 4);
  r = 0;
  EXPECT_EQ(c.LocateField(0, 2, &r), 8);
  EXPECT_EQ(c.ReadText(0, 1, 0), "abc");
  EXPECT_EQ(c.ReadText(0, 2, 0), "");  // not a text parameter
  EXPECT_EQ(c.ReadText(0, 0, 0), "");
}

TEST(KsDataSTest, AppendGivesInitialValuesAndAutoNumber) {
  TKSDataS c;
  c.LoadFromBytes(
      ImageBuilder(1).Group(1, 5, "g", {{1, 4, "dn_abs"}, {24, 1}, {11, 3}}, {}).bytes());
  int32_t r = -1;
  EXPECT_EQ(c.LocateField(0, 1, &r), 4);
  EXPECT_EQ(r, 0);
  const stru_ksdata_group& g = c.Groups()[0];
  ASSERT_EQ(g.Records.size(), 1u);
  EXPECT_EQ(g.Records[0], std::string("\x05\x00\x00\x00\x00\x00\x00\x00", 8));
  EXPECT_EQ(g.AutoNumber, 6);
  EXPECT_EQ(g.CurrentRecord, 0);
}

TEST(KsDataSTest, AppendRecordOfEveryType) {
  const std::vector<Param> params = {{1, 4}, {3, 1}, {4, 1}, {5, 2}, {6, 4}, {7, 8}, {8, 4},
                                     {9, 8}, {11, 2}, {13, 8}, {24, 1}, {25, 4}, {26, 4},
                                     {99, 50}};
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", params, {}).bytes());
  int32_t r = -1;
  EXPECT_EQ(c.LocateField(0, 0, &r), 0);
  // 4+1+1+2+4+8+4+8+2+8+1+4+4, the unknown type contributing nothing.
  EXPECT_EQ(c.Groups()[0].Records[0], std::string(51, '\0'));
}

TEST(KsDataSTest, AppendThatWouldBeHugeOrNegativeIsRefused) {
  for (int32_t size : {-1, INT32_MAX}) {
    TKSDataS c;
    c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", {{1, 4}, {11, size}}, {}).bytes());
    int32_t r = -1;
    EXPECT_EQ(c.LocateField(0, 1, &r), -1) << size;
    EXPECT_TRUE(c.Groups()[0].Records.empty()) << size;
  }
}

TEST(KsDataSTest, EmptyRecordAndCurrentRecord) {
  TKSDataS c;
  c.LoadFromBytes(
      ImageBuilder(1).Group(1, 0, "g", kExampleParams, {kExampleRecord, ""}).bytes());
  // Record 0 located: r = -2 then uses it.
  int32_t r = 0;
  ASSERT_EQ(c.LocateField(0, 2, &r), 8);
  r = -2;
  EXPECT_EQ(c.LocateField(0, 1, &r), 4);
  EXPECT_EQ(r, 0);
  // The empty record answers -1 for every k but 0.
  r = 1;
  EXPECT_EQ(c.LocateField(0, 0, &r), 0);
  for (int32_t k : {1, 2}) {
    r = 1;
    EXPECT_EQ(c.LocateField(0, k, &r), -1) << k;
  }
  EXPECT_EQ(c.Groups()[0].CurrentRecord, -1);
  r = -2;
  EXPECT_EQ(c.LocateField(0, 1, &r), -1);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(c.Groups()[0].Records.size(), 2u);  // nothing was appended
}

TEST(KsDataSTest, IndicesOutOfRange) {
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", kExampleParams, {kExampleRecord}).bytes());
  struct Case {
    int32_t g, k, r;
  } cases[] = {{-1, 1, 0}, {1, 1, 0}, {0, -1, 0}, {0, 3, 0}, {0, 1, 1}, {0, 1, -3}};
  for (const Case& x : cases) {
    int32_t r = x.r;
    EXPECT_EQ(c.LocateField(x.g, x.k, &r), -1) << x.g << " " << x.k << " " << x.r;
    EXPECT_EQ(c.ReadText(x.g, x.k, x.r), "");
  }
}

TEST(KsDataSTest, WalkNeverLeavesTheRecord) {
  const std::string text_too_long("\x07\x00\x00\x00\xC8" "ab", 7);  // text claims 200 bytes
  struct Case {
    const char* name;
    std::vector<Param> params;
    std::string record;
    int32_t k;
  } cases[] = {
      {"text runs past", kExampleParams, text_too_long, 2},
      {"negative size", {{1, -4}, {24, 1}}, kExampleRecord, 1},
      {"huge size", {{1, INT32_MAX}, {1, INT32_MAX}, {24, 1}}, kExampleRecord, 2},
      {"value starts at the end", {{11, 10}, {24, 1}}, kExampleRecord, 1},
  };
  for (const Case& x : cases) {
    TKSDataS c;
    c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", x.params, {x.record}).bytes());
    int32_t r = 0;
    EXPECT_EQ(c.LocateField(0, x.k, &r), -1) << x.name;
    EXPECT_EQ(c.Groups()[0].CurrentRecord, -1) << x.name;
  }
  // A text whose own length byte runs past the record reads as empty.
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", kExampleParams, {text_too_long}).bytes());
  EXPECT_EQ(c.ReadText(0, 1, 0), "");
}

TEST(KsDataSTest, DamagedImagesKeepWhatWasRead) {
  const std::string two = ImageBuilder(2)
                              .Group(1, 0, "first", kExampleParams, {kExampleRecord})
                              .Group(2, 0, "second", kExampleParams, {kExampleRecord})
                              .bytes();
  // Every cut of the image loads without harm; the first group is whole as
  // soon as its bytes are.
  const size_t first_end = kContainerHeaderSize + 4 + 4 + 6 + 4 + 3 * 29 + 4 + 4 + 10;
  for (size_t cut = 0; cut <= two.size(); ++cut) {
    TKSDataS c;
    c.LoadFromBytes(std::string_view(two).substr(0, cut));
    if (cut >= first_end) {
      ASSERT_GE(c.GroupCount(), 1) << cut;
      EXPECT_EQ(c.ReadText(0, 1, 0), "abc") << cut;
    }
    if (cut == two.size()) {
      ASSERT_EQ(c.GroupCount(), 2);
      EXPECT_EQ(c.Groups()[1].GroupName, "second");
    }
  }
}

TEST(KsDataSTest, ClaimedCountsAreCappedByTheBytes) {
  {
    // Two billion groups claimed in 30 bytes: one group, cut short.
    TKSDataS c;
    c.LoadFromBytes(ImageBuilder(INT32_MAX).Raw("123456").bytes());
    ASSERT_EQ(c.GroupCount(), 1);
    EXPECT_EQ(c.Groups()[0].GroupId, 0x34333231);
  }
  {
    // Parameters and records claimed beyond the image.
    const std::string image = ImageBuilder(1)
                                  .I32(1).I32(0).Raw(std::string("\x01g", 2))
                                  .I32(INT32_MAX)
                                  .bytes();
    TKSDataS c;
    c.LoadFromBytes(image);
    ASSERT_EQ(c.GroupCount(), 1);
    EXPECT_EQ(c.Groups()[0].ParamCount, 0);
    EXPECT_TRUE(c.Groups()[0].Params.empty());
  }
  {
    std::string image = ImageBuilder(1).Group(1, 0, "g", kExampleParams, {}).bytes();
    image.resize(image.size() - 4);  // drop R = 0 and claim many records instead
    PutI32(&image, 1 << 30);
    PutI32(&image, 1 << 30);  // one record claiming 1 GiB
    TKSDataS c;
    c.LoadFromBytes(image);
    ASSERT_EQ(c.GroupCount(), 1);
    EXPECT_EQ(c.Groups()[0].ParamCount, 3);
    // The record whose bytes are missing stays empty; no more are added.
    ASSERT_EQ(c.Groups()[0].Records.size(), 1u);
    EXPECT_TRUE(c.Groups()[0].Records[0].empty());
  }
}

TEST(KsDataSTest, NegativeCountsStopLoading) {
  for (int32_t which = 0; which < 3; ++which) {
    ImageBuilder b(which == 0 ? -1 : 2);
    if (which > 0) {
      b.I32(1).I32(0).Raw(std::string("\x00", 1));
      if (which == 1) {
        b.I32(-1);
      } else {
        b.I32(0).I32(1).I32(-5);  // no params, one record of length -5
      }
      b.Raw(std::string(64, '\0'));
    }
    TKSDataS c;
    c.LoadFromBytes(b.bytes());
    if (which == 0) {
      EXPECT_EQ(c.GroupCount(), 0);
    } else {
      // Loading stopped inside the first group; the second is not added.
      ASSERT_EQ(c.GroupCount(), 1);
      for (const std::string& rec : c.Groups()[0].Records) EXPECT_TRUE(rec.empty());
    }
  }
}

TEST(KsDataSTest, ClearAllEmptiesEverything) {
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", kExampleParams, {kExampleRecord}).bytes());
  c.ClearAll();
  EXPECT_EQ(c.GroupCount(), 0);
  EXPECT_EQ(c.ReadText(0, 1, 0), "");
  c.ClearAll();
  // A container is reusable after clearing.
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "g", kExampleParams, {kExampleRecord}).bytes());
  EXPECT_EQ(c.ReadText(0, 1, 0), "abc");
}

TEST(KsDataSTest, CommandTextAsTheLinkReadsIt) {
  // The link reads group 0, parameter 1, record 0.
  const std::string record = std::string("\x01\x00\x00\x00\x07", 5) + "Put_OSM";
  TKSDataS c;
  c.LoadFromBytes(ImageBuilder(1).Group(1, 0, "cmd", {{1, 4}, {24, 1}}, {record}).bytes());
  EXPECT_EQ(c.ReadText(0, 1, 0), "Put_OSM");
}

}  // namespace
}  // namespace korvel
