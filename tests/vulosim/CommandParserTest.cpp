// The console command parser, line by line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Command.h"

namespace {

using Kind = Command::Kind;

struct Accepted {
  const char* line;
  Kind kind;
  const char* label;
  float value;
  uint32_t seq;
};

const Accepted kAccepted[] = {
    {"ain temp 21.5", Kind::Ain, "temp", 21.5f, 0},
    {"  ain\ttemp   -3e1  ", Kind::Ain, "temp", -30.0f, 0},
    {"ain temp 21.5\r", Kind::Ain, "temp", 21.5f, 0},
    {"ain a-b.c_d 0", Kind::Ain, "a-b.c_d", 0.0f, 0},
    {"trend temp 20 7", Kind::Trend, "temp", 20.0f, 7},
    {"trend temp 20 0", Kind::Trend, "temp", 20.0f, 0},
    {"trend temp -1.25 4294967295", Kind::Trend, "temp", -1.25f, 4294967295u},
    {"get fan", Kind::Get, "fan", 0.0f, 0},
    {"count ac-1", Kind::Count, "ac-1", 0.0f, 0},
    {"freeze temp", Kind::Freeze, "temp", 0.0f, 0},
    {"thaw\ttemp\r", Kind::Thaw, "temp", 0.0f, 0},
    {"fail ac-1", Kind::Fail, "ac-1", 0.0f, 0},
    {" repair ac-1 ", Kind::Repair, "ac-1", 0.0f, 0},
    {"drop", Kind::Drop, "", 0.0f, 0},
    {"garbage", Kind::Garbage, "", 0.0f, 0},
    {"quit", Kind::Quit, "", 0.0f, 0},
    {"quit\r", Kind::Quit, "", 0.0f, 0},
};

TEST(CommandParser, AcceptsEveryCommandInItsShape) {
  for (const Accepted& expected : kAccepted) {
    SCOPED_TRACE(expected.line);
    CommandParse parsed = parseCommand(expected.line);
    ASSERT_TRUE(parsed.command.has_value()) << parsed.error;
    EXPECT_TRUE(parsed.error.empty());
    EXPECT_EQ(parsed.command->kind, expected.kind);
    EXPECT_EQ(parsed.command->label, expected.label);
    EXPECT_EQ(parsed.command->value, expected.value);
    EXPECT_EQ(parsed.command->trendSeqNum, expected.seq);
  }
}

// A faulty probe can be simulated: NaN and infinities are values too.
TEST(CommandParser, AcceptsNonFiniteValuesWrittenAsSuch) {
  EXPECT_TRUE(std::isnan(parseCommand("ain t nan").command->value));
  EXPECT_TRUE(std::isinf(parseCommand("ain t -inf").command->value));
}

struct Refused {
  const char* line;
  const char* errorPart;
};

const Refused kRefused[] = {
    {"foo", "unknown command 'foo'"},
    {"QUIT", "unknown command 'QUIT'"},
    {"ain temp", "usage: ain LABEL VALUE"},
    {"ain temp 1 2", "usage: ain LABEL VALUE"},
    {"trend temp 1", "usage: trend LABEL VALUE SEQ"},
    {"get", "usage: get LABEL"},
    {"get a b", "usage: get LABEL"},
    {"count", "usage: count LABEL"},
    {"freeze", "usage: freeze LABEL"},
    {"repair ac-1 ac-2", "usage: repair LABEL"},
    {"drop now", "usage: drop"},
    {"garbage 1", "usage: garbage"},
    {"quit 0", "usage: quit"},
    {"ain temp abc", "bad value 'abc'"},
    {"ain temp 21.5x", "bad value '21.5x'"},
    {"ain temp 1e999", "bad value '1e999'"},
    {"trend temp 1 -1", "bad sequence number '-1'"},
    {"trend temp 1 +1", "bad sequence number '+1'"},
    {"trend temp 1 1.5", "bad sequence number '1.5'"},
    {"trend temp 1 4294967296", "bad sequence number '4294967296'"},
    {"trend temp 1 99999999999999999999", "bad sequence number"},
    {"trend temp x 1", "bad value 'x'"},
};

TEST(CommandParser, RefusesWithAReason) {
  for (const Refused& expected : kRefused) {
    SCOPED_TRACE(expected.line);
    CommandParse parsed = parseCommand(expected.line);
    EXPECT_FALSE(parsed.command.has_value());
    EXPECT_NE(parsed.error.find(expected.errorPart), std::string::npos) << parsed.error;
  }
}

TEST(CommandParser, BlankLinesAreNeitherCommandsNorErrors) {
  for (const char* line : {"", "   ", "\t", "\r"}) {
    CommandParse parsed = parseCommand(line);
    EXPECT_FALSE(parsed.command.has_value());
    EXPECT_TRUE(parsed.error.empty()) << parsed.error;
  }
}

TEST(CommandParser, RefusesANulByteInsteadOfTruncatingTheLabel) {
  CommandParse parsed = parseCommand(std::string("get te\0mp", 9));
  EXPECT_FALSE(parsed.command.has_value());
  EXPECT_FALSE(parsed.error.empty());
}

}  // namespace
