#include <gtest/gtest.h>

#include <optional>

#include "portNumber.h"

namespace {

struct PortCase {
  const char* text;
  std::optional<int> expected;
};

TEST(PortNumberTest, OnlyDecimalDigitsFromOneTo65535AreAPort) {
  const PortCase cases[] = {
      {nullptr, std::nullopt},
      {"", std::nullopt},
      {"1", 1},
      {"60000", 60000},
      {"65535", 65535},
      {"0", std::nullopt},
      {"00000", std::nullopt},
      {"65536", std::nullopt},
      {"99999999999999999999999", std::nullopt},  // would overflow a long
      {"0080", 80},                               // leading zeros count for nothing
      {"00000000000000000000080", 80},
      {"+80", std::nullopt},
      {"-80", std::nullopt},
      {"-0", std::nullopt},
      {" 80", std::nullopt},
      {"80 ", std::nullopt},
      {"80\n", std::nullopt},
      {"80x", std::nullopt},
      {"8 0", std::nullopt},
      {"0x50", std::nullopt},
      {"80.0", std::nullopt},
  };
  for (const PortCase& c : cases) {
    EXPECT_EQ(parsePortNumber(c.text), c.expected) << (c.text ? c.text : "(null)");
  }
}

}  // namespace
