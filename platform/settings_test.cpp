#include "platform/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "platform/codepage.h"

namespace korvel {
namespace {

// Writes bytes to a file that is removed again at the end of the test.
class TempFile {
 public:
  explicit TempFile(const std::string& bytes) {
    char name[] = "/tmp/korvel_settings_XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (fd >= 0) {
      const ssize_t n = write(fd, bytes.data(), bytes.size());
      (void)n;
      close(fd);
    }
  }
  ~TempFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

TEST(Settings, MissingFileGivesEveryDefault) {
  const Settings s = Settings::Load("/nonexistent/dir/korvel.ini");
  EXPECT_EQ(s.ReadInteger("Main", "DFSM", 0), 0);
  EXPECT_FALSE(s.ReadBool("Main", "Recording", false));
  EXPECT_EQ(s.ReadString("Main", "StoragePath", "storage/"), "storage/");
  EXPECT_EQ(s.ReadInteger("main", "VideoPlace", 1), 1);
  EXPECT_EQ(s.ReadString("ServerHost", "Address", "127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(s.ReadInteger("ServerHost", "Port", 12543), 12543);
  EXPECT_EQ(s.ReadInteger("ServerHost", "PacketSize", 64000), 64000);
  EXPECT_FALSE(s.ReadBool("ServerHost", "Compression", false));
  EXPECT_EQ(s.ReadInteger("main", "Place", 1), 1);
  // A folder is not a readable file either.
  EXPECT_EQ(Settings::Load("/tmp").ReadInteger("main", "Place", 7), 7);
}

TEST(Settings, SectionsAndKeysIgnoreCase) {
  const Settings s = Settings::Parse("[MAIN]\nDFSM=2\nvideoplace=5\n");
  EXPECT_EQ(s.ReadInteger("Main", "DFSM", 0), 2);
  EXPECT_EQ(s.ReadInteger("main", "dfsm", 0), 2);
  EXPECT_EQ(s.ReadInteger("main", "VideoPlace", 1), 5);
  EXPECT_EQ(s.ReadInteger("ServerHost", "DFSM", -1), -1);
}

TEST(Settings, BooleansAreIntegers) {
  struct Case {
    const char* value;
    bool def;
    bool expected;
  } cases[] = {
      {"2", false, true},  {"0", true, false},  {"1", false, true},  {"-1", false, true},
      {"yes", false, false}, {"yes", true, true}, {"true", false, false}, {"", true, true},
      {"0x10", false, true}, {" 0 ", true, false},
  };
  for (const Case& c : cases) {
    const Settings s = Settings::Parse(std::string("[Main]\nRecording=") + c.value + "\n");
    EXPECT_EQ(s.ReadBool("Main", "Recording", c.def), c.expected) << c.value;
  }
}

TEST(Settings, Integers) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"12543", true, 12543},      {"-3", true, -3},          {"+7", true, 7},
      {"0x1F", true, 31},          {"0X1f", true, 31},        {"$1f", true, 31},
      {"$FFFFFFFF", true, -1},     {"-$10", true, -16},       {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0}, {"0x100000000", false, 0},
      {"", false, 0},              {"12a", false, 0},         {"1 2", false, 0},
      {"0x", false, 0},            {"$", false, 0},           {"-", false, 0},
      {"1.5", false, 0},           {" 12", false, 0},         {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 0;
    EXPECT_EQ(ParseIniInteger(c.text, &v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  const Settings s = Settings::Parse("[ServerHost]\nPort = $3100 \nPacketSize=big\n");
  EXPECT_EQ(s.ReadInteger("ServerHost", "Port", 1), 0x3100);
  EXPECT_EQ(s.ReadInteger("ServerHost", "PacketSize", 64000), 64000);
}

TEST(Settings, StringsLoseBlanksAndOnePairOfQuotes) {
  const Settings s = Settings::Parse(
      "[ServerHost]\n"
      "Address =   \"10.0.0.5\"  \n"
      "A2='single'\n"
      "A3=\"\"twice\"\"\n"
      "A4=\"unbalanced\n"
      "A5=  inner  blanks  kept \t\n"
      "A6=\n"
      "A7=\"\n"
      "A8=a=b\n");
  EXPECT_EQ(s.ReadString("ServerHost", "Address", "x"), "10.0.0.5");
  EXPECT_EQ(s.ReadString("ServerHost", "A2", "x"), "single");
  EXPECT_EQ(s.ReadString("ServerHost", "A3", "x"), "\"twice\"");
  EXPECT_EQ(s.ReadString("ServerHost", "A4", "x"), "\"unbalanced");
  EXPECT_EQ(s.ReadString("ServerHost", "A5", "x"), "inner  blanks  kept");
  EXPECT_EQ(s.ReadString("ServerHost", "A6", "x"), "");
  EXPECT_EQ(s.ReadString("ServerHost", "A7", "x"), "\"");
  EXPECT_EQ(s.ReadString("ServerHost", "A8", "x"), "a=b");
  EXPECT_EQ(s.ReadString("ServerHost", "Missing", "x"), "x");
}

TEST(Settings, FileLayout) {
  // BOM, CRLF, comments, blank lines, keys before any section, a repeated
  // key (the first wins) and a section split in two under different cases.
  const Settings s = Settings::Parse(
      "\xEF\xBB\xBF"
      "Orphan=1\r\n"
      "; comment\r\n"
      "  [ Main ]  \r\n"
      "\r\n"
      "DFSM=3\r\n"
      ";DFSM=4\r\n"
      "DFSM=5\r\n"
      "no equals sign\r\n"
      "[ServerHost]\r\n"
      "Port=1\r\n"
      "[main]\r\n"
      "Place=9");
  EXPECT_EQ(s.ReadInteger("Main", "DFSM", 0), 3);
  EXPECT_EQ(s.ReadInteger("main", "Place", 1), 9);
  EXPECT_EQ(s.ReadInteger("ServerHost", "Port", 0), 1);
  EXPECT_EQ(s.ReadInteger("", "Orphan", 0), 0);
}

TEST(Settings, Utf8AndWindows1251FilesGiveTheSameBytes) {
  const std::string path_utf8 = "хранилище/камеры";
  const std::string expected = Utf8ToCp1251(path_utf8);
  ASSERT_EQ(expected.size(), 16u);

  TempFile utf8("[Main]\nStoragePath=" + path_utf8 + "\n");
  TempFile cp1251("[Main]\nStoragePath=" + expected + "\n");
  TempFile utf8_bom("\xEF\xBB\xBF[Main]\nStoragePath=\"" + path_utf8 + "\"\n");
  for (const TempFile* f : {&utf8, &cp1251, &utf8_bom})
    EXPECT_EQ(Settings::Load(f->path()).ReadString("Main", "StoragePath", "storage/"), expected);
}

TEST(Settings, CyrillicNamesIgnoreCase) {
  const Settings s = Settings::Parse("[РАЗДЕЛ]\nКЛЮЧ=1\nЁЖ=2\n");
  EXPECT_EQ(s.ReadInteger(Utf8ToCp1251("раздел"), Utf8ToCp1251("ключ"), 0), 1);
  EXPECT_EQ(s.ReadInteger(Utf8ToCp1251("Раздел"), Utf8ToCp1251("ёж"), 0), 2);
}

}  // namespace
}  // namespace korvel
