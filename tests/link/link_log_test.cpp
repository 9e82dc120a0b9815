#include "link/session/link_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/session/greeting.h"
#include "platform/byte_io.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

DateTime At(int y, int mo, int d, int h, int mi, int s) {
  DateTime dt = 0;
  EXPECT_TRUE(EncodeDateTime({y, mo, d, h, mi, s, 0}, &dt));
  return dt;
}

TEST(LinkLogTest, LineIsDateTimeDashTextCrLfInWindows1251) {
  EXPECT_EQ(FormatLinkLogLine(At(2026, 3, 7, 9, 5, 1), "not 255"), "07.03.2026 09:05:01 - not 255\r\n");
  // At exactly midnight the time is left out.
  EXPECT_EQ(FormatLinkLogLine(At(2026, 12, 31, 0, 0, 0), "x"), "31.12.2026 - x\r\n");
  // "Ошибка чтения 0" in Windows-1251.
  EXPECT_EQ(LinkLogText(kLogReceiveFailed),
            "\xCE\xF8\xE8\xE1\xEA\xE0 \xF7\xF2\xE5\xED\xE8\xFF 0");
}

TEST(LinkLogTest, AppendsAndRotatesPastTheCeiling) {
  const fs::path dir = fs::temp_directory_path() / ("korvel_log_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path path = dir / "data.log";
  const DateTime t = At(2026, 1, 2, 3, 4, 5);
  const size_t line = FormatLinkLogLine(t, "0123456789").size();  // 34 bytes
  LinkLogFile log(path.string(), static_cast<int64_t>(3 * line));
  for (int i = 0; i < 3; ++i) log.Append("0123456789", t);
  EXPECT_EQ(fs::file_size(path), 3 * line);
  EXPECT_FALSE(fs::exists(dir / "data.log.1"));
  log.Append("0123456789", t);  // would pass the ceiling: rotate first
  EXPECT_EQ(fs::file_size(dir / "data.log.1"), 3 * line);
  EXPECT_EQ(ReadFile(path), FormatLinkLogLine(t, "0123456789"));
  fs::remove_all(dir);
}

TEST(LinkLogTest, PlantedLinkIsNotFollowed) {
  const fs::path dir = fs::temp_directory_path() / ("korvel_loglink_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / "victim") << "keep";
  fs::create_symlink(dir / "victim", dir / "data.log");
  LinkLogFile log((dir / "data.log").string());
  log.Append("x");
  EXPECT_EQ(ReadFile(dir / "victim"), "keep");
  fs::remove_all(dir);
}

TEST(GreetingTest, PayloadsOfTheGreeting) {
  EXPECT_EQ(BuildLoginPayload(), std::string("\x3F\x00", 2));
  EXPECT_EQ(BuildClientFlagsPayload(), std::string("\0\0\0\0\0\0\0\x01", 8));
  EXPECT_EQ(BuildClientPlacePayload(7), std::string("\x07", 1));
  struct Case {
    const char* text;
    uint16_t n[4];
  };
  const Case cases[] = {
      {"8.1", {8, 0, 0, 1}},
      {"8.1.0.0", {8, 1, 0, 0}},
      {"81", {0, 0, 0, 0}},
      {"1.2.3.4.5", {1, 2, 3, 0}},  // "4.5" is not a number
      {"65537.x.2.3", {1, 0, 2, 3}},
  };
  for (const Case& c : cases) {
    const std::string p = BuildClientVersionPayload(c.text);
    ASSERT_EQ(p.size(), 8u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(DecodeU16(p.data() + 2 * i), c.n[i]) << c.text << " " << i;
  }
}

}  // namespace
}  // namespace korvel
