#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "daemonKeys.h"
#include "properties.h"

namespace {

class PropertiesTest : public ::testing::Test {
 protected:
  // Loads `content` as a properties file; the load's result is checked.
  void loadText(const std::string& content) {
    ASSERT_TRUE(props.load(dir.write("frigel.conf", content).c_str()));
  }

  TempDir dir;
  cProperties props;
};

TEST_F(PropertiesTest, ReadsKeyValueLinesAndConvertsIntegers) {
  loadText("SyncTime=120\nName=shelter 4\n");
  EXPECT_EQ(props.getInt("SyncTime", 300), 120);
  EXPECT_STREQ(props.getString("Name", "x"), "shelter 4");
  EXPECT_EQ(props.getInt("Missing", 300), 300);
  const char* fallback = "fallback";
  EXPECT_EQ(props.getString("Missing", fallback), fallback);
}

TEST_F(PropertiesTest, BlanksAroundEqualsBelongToKeyAndValue) {
  loadText("SyncTime = 120\n");
  EXPECT_EQ(props.getInt("SyncTime", 300), 300);
  EXPECT_STREQ(props.getString("SyncTime ", ""), " 120");
  EXPECT_EQ(props.getInt("SyncTime ", 300), 120);
}

TEST_F(PropertiesTest, CommentsEndTheLine) {
  loadText(
      "SyncTime=120 # every two minutes\n"
      "#Hidden=1\n"
      "   # Blank=2\n"
      "Pass=a#b=c\n");
  EXPECT_STREQ(props.getString("SyncTime", ""), "120 ");
  EXPECT_EQ(props.getInt("SyncTime", 300), 120);
  EXPECT_STREQ(props.getString("#Hidden", "absent"), "absent");
  EXPECT_STREQ(props.getString("   ", "absent"), "absent");
  EXPECT_STREQ(props.getString("Pass", ""), "a");
}

TEST_F(PropertiesTest, ValuesThatAreNotNumbersReadAsZero) {
  loadText("Letters=abc\nEmpty=\nSigned= -42x\nHuge=99999999999\nTiny=-99999999999\n");
  EXPECT_EQ(props.getInt("Letters", 300), 0);
  EXPECT_STREQ(props.getString("Empty", "x"), "");
  EXPECT_EQ(props.getInt("Empty", 300), 0);
  EXPECT_EQ(props.getInt("Signed", 300), -42);
  EXPECT_EQ(props.getInt("Huge", 0), 2147483647);
  EXPECT_EQ(props.getInt("Tiny", 0), -2147483647 - 1);
}

TEST_F(PropertiesTest, OddButValidLines) {
  loadText("=empty key\nexpr=a=b\nplain line\nKey=10\nKey=20\n");
  EXPECT_STREQ(props.getString("", "x"), "empty key");
  EXPECT_STREQ(props.getString("expr", ""), "a=b");
  EXPECT_STREQ(props.getString("plain line", "absent"), "absent");
  EXPECT_EQ(props.getInt("Key", 0), 10);  // the first occurrence wins
}

TEST_F(PropertiesTest, CarriageReturnsStayInTheValue) {
  loadText("SyncTime=60\r\nName=a\r\n");
  EXPECT_EQ(props.getInt("SyncTime", 300), 60);
  EXPECT_STREQ(props.getString("Name", ""), "a\r");
}

TEST_F(PropertiesTest, LastLineWithoutLineFeedIsRead) {
  loadText("A=1\nB=2");
  EXPECT_EQ(props.getInt("B", 0), 2);
}

TEST_F(PropertiesTest, OverlongLineIsSkippedAloneAndReadingGoesOn) {
  std::string longest(255 - 2, 'v');
  std::string tooLong(256, 'w');
  loadText("A=1\nL=" + longest + "\nX=" + tooLong + "\nB=2\n");
  EXPECT_EQ(props.getInt("A", 0), 1);
  EXPECT_EQ(std::string(props.getString("L", "")), longest);  // 255 characters fit
  EXPECT_STREQ(props.getString("X", "absent"), "absent");
  EXPECT_EQ(props.getInt("B", 0), 2);
}

TEST_F(PropertiesTest, ReloadReplacesAndAFailedLoadKeepsEntries) {
  loadText("A=1\n");
  loadText("B=2\n");
  EXPECT_STREQ(props.getString("A", "absent"), "absent");
  std::string missing = dir.path() + "/missing.conf";
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(props.load(missing.c_str()));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "Failed to load input file " + missing + "\n");
  EXPECT_EQ(props.getInt("B", 0), 2);
}

TEST_F(PropertiesTest, BinaryBytesNeitherCrashNorInventEntries) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) {
    junk.push_back(static_cast<char>((i * 131 + 7) % 256));
  }
  loadText(junk + "\nGood=5\n");
  EXPECT_EQ(props.getInt("Good", 0), 5);
}

// The minimum off time is a decimal number of seconds; anything that is
// not a finite number turns the hold off rather than holding for ever.
TEST(AirconMinimumOffSeconds, TakesFiniteDecimalsAndTurnsEverythingElseOff) {
  struct Row {
    const char* text;
    double seconds;
    bool notANumber;
  };
  const Row rows[] = {
      {nullptr, 0.0, false},     {"180", 180.0, false}, {"0.36", 0.36, false},
      {" 180 \r", 180.0, false}, {"0", 0.0, false},     {"-5", 0.0, false},
      {"", 0.0, true},           {"abc", 0.0, true},    {"180s", 0.0, true},
      {"inf", 0.0, true},        {"nan", 0.0, true},    {"1e999", 0.0, true},
  };
  for (const Row& row : rows) {
    bool notANumber = !row.notANumber;
    EXPECT_DOUBLE_EQ(airconHoldSeconds(row.text, &notANumber), row.seconds)
        << (row.text ? row.text : "(absent)");
    EXPECT_EQ(notANumber, row.notANumber) << (row.text ? row.text : "(absent)");
  }
}

}  // namespace
