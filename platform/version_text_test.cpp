#include "platform/version_text.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

using Numbers = std::array<uint16_t, 4>;

TEST(VersionText, SplitsIntoFourNumbers) {
  struct Case {
    const char* text;
    Numbers numbers;
  } cases[] = {
      {"8.1.0.0", {8, 1, 0, 0}},
      {"8.1", {8, 0, 0, 1}},  // parts 2 and 3 are missing, the rest is number 4
      {"8.1.2", {8, 1, 0, 2}},
      {"8", {0, 0, 0, 0}},    // no '.' at all
      {"", {0, 0, 0, 0}},
      {"1.2.3.4.5", {1, 2, 3, 0}},  // "4.5" is not a number
      {"a.2.b.4", {0, 2, 0, 4}},
      {"..", {0, 0, 0, 0}},
      {"65537.70000.1.2", {1, 4464, 1, 2}},  // low 16 bits
      {"99999999999.1.1.1", {0, 1, 1, 1}},   // beyond 32 bits is not a number
      {"-1.0.0.0", {65535, 0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseVersionNumbers(c.text), c.numbers) << c.text;
}

TEST(VersionText, ProgramVersionIsTheProjectVersion) {
  const std::string text = ProgramVersionText();
  EXPECT_EQ(text, "8.1.0.0");
  EXPECT_EQ(ParseVersionNumbers(text), (Numbers{8, 1, 0, 0}));
}

}  // namespace
}  // namespace korvel
