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

// A file that gives exactly one warning, on `line`, containing `text`.
struct WarningRow {
  const char* name;
  std::string fileText;
  std::string text;
  long line = 1;
};

class PropertiesWarning : public ::testing::TestWithParam<WarningRow> {};

TEST_P(PropertiesWarning, IsTheOnlyFinding) {
  const WarningRow& row = GetParam();
  Findings findings = checkText(row.fileText);
  ASSERT_EQ(findings.all().size(), 1u) << describe(findings);
  const Finding& finding = findings.all().front();
  EXPECT_EQ(finding.severity, Severity::Warning);
  EXPECT_EQ(finding.file, kPath);
  EXPECT_EQ(finding.line, row.line);
  EXPECT_NE(finding.message.find(row.text), std::string::npos) << finding.message;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PropertiesWarning,
    ::testing::ValuesIn(std::vector<WarningRow>{
        {"BlanksAroundTheEqualsSign", "# x\nSyncTime = 120\n",
         "blanks around \"=\": the daemon reads the key \"SyncTime \" and the value \" 120\", "
         "blanks included, so SyncTime keeps its default, 300",
         2},
        {"BlankAfterTheEqualsSign", "log4cpp.rootCategory= INFO\n", "blanks around \"=\""},
        {"BlankBeforeTheKey", " ProbeStaleSeconds=10\n",
         "so ProbeStaleSeconds keeps its default, 900"},
        {"NoEqualsSign", "SyncTime 300\n",
         "no \"=\" in \"SyncTime 300\": the daemon skips this line"},
        {"NoEqualsSignBeforeAComment", "   SyncTime # =300\n", "no \"=\" in \"SyncTime\""},
        // Daemon keys whose value is not a whole number.
        {"SyncTimeWithAUnit", "SyncTime=5min\n",
         "SyncTime \"5min\" is not a whole number: the daemon reads 5, a re-poll every 5 s"},
        {"EmptyProbeStaleSeconds", "ProbeStaleSeconds=\n",
         "ProbeStaleSeconds \"\" is not a whole number: the daemon reads 0, the stale-probe "
         "check is off"},
        {"PassPeriodWithAnExponent", "PassPeriodMicroseconds=1e4\n",
         "the daemon reads 1, raised to 1000 us a pass"},
        {"SyncTimeOutOfRange", "SyncTime=99999999999\n",
         "SyncTime 99999999999 is out of range: the daemon reads 2147483647"},
        // Pass periods the daemon does not take as written.
        {"PassPeriodBelowTheShortest", "PassPeriodMicroseconds=500\n",
         "PassPeriodMicroseconds 500 is below the shortest period, 1000: the daemon reads 500, "
         "raised to 1000 us a pass"},
        {"NegativePassPeriod", "PassPeriodMicroseconds=-5\n",
         "PassPeriodMicroseconds -5 is not a period: the daemon reads -5, passes follow the "
         "literal loop"},
        // Unknown keys, with the nearest known one.
        {"KeyInTheWrongCase", "Synctime=60\n",
         "unknown key \"Synctime\", ignored: did you mean SyncTime? (keys are case-sensitive)"},
        {"MisspeltKey", "ProbeStaleSecs=60\n", "did you mean ProbeStaleSeconds?"},
        {"UnknownKey", "Colour=blue\n", "unknown key \"Colour\", ignored"},
        {"LoggingKeyInTheWrongCase", "Log4cpp.rootCategory=INFO\n",
         "the logging library reads only keys that start with \"log4cpp.\" exactly"},
        {"EntryWithoutAKey", "=5\n", "an entry without a key"},
        {"KeyGivenTwiceKeepsTheFirst", "SyncTime=60\n#\nSyncTime=x\n",
         "key \"SyncTime\" given again (first at line 1): the daemon keeps the first", 3},
        {"DosLineEndsAreReportedOnce", "# x\r\nSyncTime=60\r\nProbeStaleSeconds=60\r\n",
         "the file has DOS line ends (first at this line)"}}),
    [](const ::testing::TestParamInfo<WarningRow>& info) { return info.param.name; });

TEST(PropertiesReviewFile, EffectiveValuesComeFromTheDaemonsReader) {
  TempDir dir;
  const std::string path = dir.write("frigel.conf",
                                     "SyncTime=60\nSyncTime=70\nlog4cpp.rootCategory=INFO\n"
                                     "PassPeriodMicroseconds=700\nAirconMinimumOffSeconds=2.5 \n"
                                     "ProbeLostAction=cool\nMetricsTextfile=" +
                                         dir.path() + "/frigel.prom\n");
  Findings findings;
  PropertiesReview review = reviewPropertiesFile(path, findings);
  ASSERT_TRUE(review.readable);
  ASSERT_EQ(review.values.size(), daemonKeys().size());
  EXPECT_EQ(review.find("SyncTime")->value, 60);  // the first occurrence wins
  EXPECT_EQ(review.find("SyncTime")->line, 1);
  EXPECT_EQ(review.find("PassPeriodMicroseconds")->value, 700);
  EXPECT_EQ(review.find("ProbeStaleSeconds")->value, 900);  // absent: the default
  EXPECT_EQ(review.find("ProbeStaleSeconds")->line, 0);
  // A decimal, through the daemon's reader.
  EXPECT_EQ(review.find("AirconMinimumOffSeconds")->value, 2.5);
  EXPECT_EQ(review.find("AirconMinimumOffSeconds")->line, 5);
  EXPECT_EQ(review.find("ProbeLostAction")->value, 1);  // the second word: cool
  EXPECT_EQ(review.find("MetricsTextfile")->text, dir.path() + "/frigel.prom");
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
