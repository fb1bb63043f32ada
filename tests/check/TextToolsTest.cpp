// Name suggestions, number texts and the report's formatting.
#include <gtest/gtest.h>

#include "Findings.h"
#include "DaemonNumberReading.h"
#include "TextTools.h"

namespace {

TEST(NameSuggestion, DistanceIgnoresCaseAndCountsASwapOnce) {
  EXPECT_EQ(nameDistance("aircon1Pullin", "aircon1PullIn"), 0u);
  EXPECT_EQ(nameDistance("lable", "label"), 1u);
  EXPECT_EQ(nameDistance("coolingPulIn", "coolingPullIn"), 1u);
  EXPECT_EQ(nameDistance("", "fan"), 3u);
}

TEST(NameSuggestion, NearestNameOnlyWhenCloseEnough) {
  const std::vector<std::string> names = {"aircon1PullIn", "aircon2PullIn", "coolingPullIn"};
  EXPECT_EQ(nearestName("Aircon1pullin", names), "aircon1PullIn");
  EXPECT_EQ(nearestName("aircon3PullIn", names), "aircon1PullIn");  // the first of equals
  EXPECT_EQ(nearestName("heaterPullIn", names), std::nullopt);
  EXPECT_EQ(nearestName("x", {"fan"}), std::nullopt);
}

TEST(NumberTexts, CleanNumbersWithXmlLayoutAroundThem) {
  EXPECT_EQ(numberTextWarning("a", "\n   30.0\n  ", NumberKind::Float, "degC"), std::nullopt);
  EXPECT_EQ(numberTextWarning("a", "-2", NumberKind::Float, "degC"), std::nullopt);
  EXPECT_EQ(numberTextWarning("a", "+12000", NumberKind::Unsigned, "passes"), std::nullopt);
  EXPECT_EQ(numberTextWarning("a", "257", NumberKind::Byte, ""),
            std::nullopt);  // wrap: judged later
}

TEST(NumberTexts, WhatTheDaemonDropsIsNamedWithWhatItReads) {
  EXPECT_EQ(numberTextWarning("goalTemperature", "22,5", NumberKind::Float, "degC"),
            "goalTemperature \"22,5\" has trailing text \",5\": the daemon reads 22 degC");
  EXPECT_EQ(numberTextWarning("n", "abc", NumberKind::Integer, ""),
            "n \"abc\" holds no number: the daemon reads 0");
  EXPECT_EQ(
      numberTextWarning("t", "-1x", NumberKind::Unsigned, "passes"),
      "t \"-1x\" is negative and has trailing text \"x\": the daemon reads 4294967295 passes");
  EXPECT_EQ(numberTextWarning("t", "1e39", NumberKind::Float, "degC"),
            "t \"1e39\" is not a finite number: the daemon reads inf degC");
  EXPECT_EQ(numberTextWarning("t", " ", NumberKind::Byte, ""), "t is empty: the daemon reads 0");
  EXPECT_EQ(numberTextWarning("t", "-99999999999", NumberKind::Unsigned, "passes"),
            "t \"-99999999999\" is out of range: the daemon reads 2147483648 passes");
}

TEST(Report, FindingsAreOrderedByFileThenLineWithLinelessOnesLast) {
  Findings findings;
  findings.warn("b.xml", 0, "b whole");
  findings.warn("b.xml", 7, "b7");
  findings.error("a.conf", 3, "a3");
  findings.warn("b.xml", 2, "b2");
  std::vector<std::string> messages;
  for (const Finding& finding : reportOrder(findings.all(), {"a.conf", "b.xml"})) {
    messages.push_back(formatFinding(finding));
  }
  EXPECT_EQ(messages,
            (std::vector<std::string>{"error: a.conf:3: a3", "warning: b.xml:2: b2",
                                      "warning: b.xml:7: b7", "warning: b.xml: b whole"}));
  EXPECT_EQ(summaryLine(findings), "summary: 1 error, 3 warnings");
  EXPECT_EQ(exitStatus(findings), 2);
}

TEST(Report, QuotedTextsAreEscapedAndCut) {
  EXPECT_EQ(quoted("a\tb\n\"c\"\\\x01"), "\"a\\tb\\n\\\"c\\\"\\\\\\x01\"");
  EXPECT_EQ(quoted(std::string(100, 'x'), 5), "\"xxxxx...\"");
  // Well-formed UTF-8 stays readable; stray bytes are escaped.
  EXPECT_EQ(quoted("K\xc3\xbc"
                   "che"),
            "\"K\xc3\xbc"
            "che\"");
  EXPECT_EQ(quoted("a\xff\xc3"), "\"a\\xff\\xc3\"");
}

}  // namespace
