// The properties-file checks, on lines read by the daemon's own reader.
#include <gtest/gtest.h>

#include <sstream>

#include "PropertiesReview.h"
#include "TempDir.h"

namespace {

const char kPath[] = "/etc/vulo/frigel.conf";

Findings checkText(const std::string& text) {
  std::istringstream in(text);
  std::vector<PropertiesLine> lines;
  forEachPropertiesLine(in, [&lines](const PropertiesLine& line) { lines.push_back(line); });
  Findings findings;
  checkPropertiesLines(kPath, lines, findings);
  return findings;
}

std::string describe(const Findings& findings) {
  std::string text;
  for (const Finding& finding : findings.all()) {
    text += "  " + formatFinding(finding) + "\n";
  }
  return text;
}

// Exactly one warning, on `line`, containing `text`.
void expectOneWarning(const std::string& fileText, long line, const std::string& text) {
  Findings findings = checkText(fileText);
  ASSERT_EQ(findings.all().size(), 1u) << describe(findings);
  const Finding& finding = findings.all().front();
  EXPECT_EQ(finding.severity, Severity::Warning);
  EXPECT_EQ(finding.file, kPath);
  EXPECT_EQ(finding.line, line);
  EXPECT_NE(finding.message.find(text), std::string::npos) << finding.message;
}

TEST(PropertiesChecks, WhatTheDaemonReadsAsMeantIsClean) {
  Findings findings = checkText(
      "# comment with key=value\n"
      "\n"
      "   \t\n"
      "   # indented comment\n"
      "log4cpp.rootCategory=INFO, console\n"
      "log4cpp.appender.console.layout.ConversionPattern=%d %p %c: %m%n\n"
      "SyncTime=120 # a comment after the value\n"
      "PassPeriodMicroseconds=+10000\n"
      "ProbeStaleSeconds=0\n"
      "AirconMinimumOffSeconds=0.36\n");
  EXPECT_TRUE(findings.all().empty()) << describe(findings);
}

TEST(PropertiesChecks, BlanksAroundTheEqualsSign) {
  expectOneWarning("# x\nSyncTime = 120\n", 2,
                   "blanks around \"=\": the daemon reads the key \"SyncTime \" and the value "
                   "\" 120\", blanks included, so SyncTime keeps its default, 300");
  expectOneWarning("log4cpp.rootCategory= INFO\n", 1, "blanks around \"=\"");
  expectOneWarning(" ProbeStaleSeconds=10\n", 1, "so ProbeStaleSeconds keeps its default, 900");
}

TEST(PropertiesChecks, ALineTooLongIsSkippedAloneByTheDaemon) {
  const std::string longLine = "log4cpp.appender.x.fileName=/" + std::string(240, 'a');
  Findings findings = checkText("SyncTime=60\n" + longLine + "\nSyncTime=70\nabc\n");
  ASSERT_EQ(findings.all().size(), 3u) << describe(findings);
  EXPECT_EQ(findings.all()[0].line, 2);
  EXPECT_NE(findings.all()[0].message.find("the line is 269 characters long, over the 255 the "
                                           "daemon reads: it skips this line"),
            std::string::npos);
  // The lines after it are still read: the repeat and the stray text are seen.
  EXPECT_EQ(findings.all()[1].line, 3);
  EXPECT_EQ(findings.all()[2].line, 4);
}

TEST(PropertiesChecks, ALineWithoutEqualsSign) {
  expectOneWarning("SyncTime 300\n", 1, "no \"=\" in \"SyncTime 300\": the daemon skips this line");
  expectOneWarning("   SyncTime # =300\n", 1, "no \"=\" in \"SyncTime\"");
}

TEST(PropertiesChecks, DaemonKeysWhoseValueIsNotAWholeNumber) {
  expectOneWarning(
      "SyncTime=5min\n", 1,
      "SyncTime \"5min\" is not a whole number: the daemon reads 5, a re-poll every 5 s");
  expectOneWarning("ProbeStaleSeconds=\n", 1,
                   "ProbeStaleSeconds \"\" is not a whole number: the daemon reads 0, the "
                   "stale-probe check is off");
  expectOneWarning("PassPeriodMicroseconds=1e4\n", 1,
                   "the daemon reads 1, raised to 1000 us a pass");
  expectOneWarning("SyncTime=99999999999\n", 1,
                   "SyncTime 99999999999 is out of range: the daemon reads 2147483647");
}

TEST(PropertiesChecks, PassPeriodsTheDaemonDoesNotTakeAsWritten) {
  expectOneWarning("PassPeriodMicroseconds=500\n", 1,
                   "PassPeriodMicroseconds 500 is below the shortest period, 1000: the daemon "
                   "reads 500, raised to 1000 us a pass");
  expectOneWarning("PassPeriodMicroseconds=-5\n", 1,
                   "PassPeriodMicroseconds -5 is not a period: the daemon reads -5, passes follow "
                   "the literal loop");
}

TEST(PropertiesChecks, UnknownKeysWithTheNearestKnownOne) {
  expectOneWarning("Synctime=60\n", 1,
                   "unknown key \"Synctime\", ignored: did you mean SyncTime? (keys are "
                   "case-sensitive)");
  expectOneWarning("ProbeStaleSecs=60\n", 1, "did you mean ProbeStaleSeconds?");
  expectOneWarning("Colour=blue\n", 1, "unknown key \"Colour\", ignored");
  expectOneWarning("Log4cpp.rootCategory=INFO\n", 1,
                   "the logging library reads only keys that start with \"log4cpp.\" exactly");
  expectOneWarning("=5\n", 1, "an entry without a key");
}

TEST(PropertiesChecks, AKeyGivenTwiceKeepsTheFirst) {
  expectOneWarning("SyncTime=60\n#\nSyncTime=x\n", 3,
                   "key \"SyncTime\" given again (first at line 1): the daemon keeps the first");
}

TEST(PropertiesChecks, DosLineEndsAreReportedOnce) {
  expectOneWarning("# x\r\nSyncTime=60\r\nProbeStaleSeconds=60\r\n", 1,
                   "the file has DOS line ends (first at this line)");
}

TEST(PropertiesReviewFile, EffectiveValuesComeFromTheDaemonsReader) {
  TempDir dir;
  const std::string path = dir.write("frigel.conf",
                                     "SyncTime=60\nSyncTime=70\nlog4cpp.rootCategory=INFO\n"
                                     "PassPeriodMicroseconds=700\nAirconMinimumOffSeconds=2.5 \n"
                                     "MetricsTextfile=" +
                                         dir.path() + "/frigel.prom\n");
  Findings findings;
  PropertiesReview review = reviewPropertiesFile(path, findings);
  ASSERT_TRUE(review.readable);
  ASSERT_EQ(review.values.size(), 5u);
  EXPECT_EQ(review.values[0].value, 60);  // the first occurrence wins
  EXPECT_EQ(review.values[0].line, 1);
  EXPECT_EQ(review.values[1].value, 700);
  EXPECT_EQ(review.values[2].value, 900);  // absent: the default
  EXPECT_EQ(review.values[2].line, 0);
  EXPECT_EQ(review.values[3].value, 2.5);  // a decimal, through the daemon's reader
  EXPECT_EQ(review.values[3].line, 5);
  EXPECT_EQ(review.values[4].text, dir.path() + "/frigel.prom");
  EXPECT_EQ(review.passPeriodMicroseconds(), 1000);  // raised to the shortest period
  EXPECT_EQ(review.loggingKeys, 1);
  EXPECT_EQ(findings.count(Severity::Warning), 2u);  // the repeat and the short period
}

TEST(PropertiesReviewFile, AnUnreadableFileIsAnError) {
  TempDir dir;
  Findings findings;
  PropertiesReview review = reviewPropertiesFile(dir.path() + "/missing.conf", findings);
  EXPECT_FALSE(review.readable);
  ASSERT_EQ(findings.all().size(), 1u);
  EXPECT_EQ(findings.all()[0].severity, Severity::Error);
  EXPECT_EQ(exitStatus(findings), 2);
}

}  // namespace
