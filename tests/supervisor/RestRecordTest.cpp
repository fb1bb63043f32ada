// The record of the air conditioners' rests that a restarted daemon reads:
// what it writes reads back the same, and every record it cannot trust
// (none, damaged, of another boot, with a time to come) gives nothing, with
// the reason.
#include <gtest/gtest.h>

#include <string>

#include "airconOutputs.h"
#include "restRecord.h"

namespace {

const std::string kHeader = "frigel air conditioner rests\n";

TEST(RestRecord, WhatIsWrittenReadsBackTheSame) {
  AirconOutputs outputs;
  outputs.found(1, AirconOutputs::Confirmed::Off, 5000);
  outputs.restingSince(1, 1234);
  outputs.found(2, AirconOutputs::Confirmed::On, 5000);
  const std::string text = formatRestRecord(restRecordOf(outputs, "b00t"));
  EXPECT_EQ(text, kHeader + "boot b00t\nunit 1 resting-since 1234\nunit 2 running\n");
  const RestRecordUse use = judgeRestRecord(true, text, "b00t", 6000);
  ASSERT_TRUE(use.valid) << use.line;
  EXPECT_EQ(use.record.units[0].state, RestRecord::Unit::Resting);
  EXPECT_EQ(use.record.units[0].restingSince, 1234);
  EXPECT_EQ(use.record.units[1].state, RestRecord::Unit::Running);
}

struct UntrustedCase {
  const char* name;
  bool exists;
  std::string text;
  const char* why;
};

class UntrustedRecord : public ::testing::TestWithParam<UntrustedCase> {};

TEST_P(UntrustedRecord, GivesNothingAndSaysWhy) {
  const UntrustedCase& c = GetParam();
  const RestRecordUse use = judgeRestRecord(c.exists, c.text, "b00t", 1000);
  EXPECT_FALSE(use.valid);
  EXPECT_EQ(use.line, c.why);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UntrustedRecord,
    ::testing::Values(
        UntrustedCase{"Missing", false, "", "none (first start since boot)"},
        UntrustedCase{"NotARecord", true, "PK\x03\x04",
                      "damaged (line 1: not a record of the air conditioners' rests)"},
        UntrustedCase{"Cut", true, kHeader + "boot b00t\nunit 1 resting-si",
                      "damaged (line 3: unexpected 'unit 1 resting-si')"},
        UntrustedCase{"NotANumber", true, kHeader + "boot b00t\nunit 1 resting-since -5\n",
                      "damaged (line 3: unexpected 'unit 1 resting-since -5')"},
        UntrustedCase{"UnitTwice", true, kHeader + "boot b00t\nunit 2 running\nunit 2 running\n",
                      "damaged (line 4: unit 2 given again)"},
        UntrustedCase{"NoBoot", true, kHeader + "unit 1 running\n", "damaged (line 2: no boot id)"},
        UntrustedCase{"AnotherBoot", true, kHeader + "boot 0ther\nunit 1 resting-since 10\n",
                      "written in another boot"},
        UntrustedCase{"ATimeToCome", true, kHeader + "boot b00t\nunit 2 resting-since 1001\n",
                      "damaged (unit 2 rests since a time to come)"}),
    [](const ::testing::TestParamInfo<UntrustedCase>& info) {
      return std::string(info.param.name);
    });

}  // namespace
