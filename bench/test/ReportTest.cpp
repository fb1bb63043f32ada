// The table must hold up when runs fail: no crash, every goal row still
// there, judged "n/a" rather than met.
#include <gtest/gtest.h>

#include <string>

#include "Report.h"

namespace {

int countOf(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

TEST(Report, NothingMeasuredMeansNothingMet) {
  BenchResults nothing;
  nothing.literal.failure = "the daemon never connected";
  std::string table = formatReport(nothing);
  EXPECT_NE(table.find("| Figure | frigel | Bare reference | Ratio | Goal | Met |"),
            std::string::npos);
  EXPECT_EQ(countOf(table, "| yes |"), 0);
  EXPECT_GT(countOf(table, "| n/a |"), 5);
  EXPECT_EQ(table.find("nan"), std::string::npos);
}

TEST(Report, AFigurePastItsGoalIsMarkedNotMet) {
  BenchResults results;
  DaemonFigures& exact = results.exact1ms;
  exact.passPeriodMicroseconds = 1000;
  exact.passes.passNs.assign(100, 1000000);  // exactly 1 ms each
  exact.passes.cpuNs = 100 * 40000;          // 40 us a pass
  exact.passes.wallNs = 100 * 1000000;
  exact.passes.passesSampled = 100;
  BareLoopResult bare;
  bare.passNs.assign(100, 1000000);
  bare.cpuNs = 100 * 10000;  // 10 us a pass: the daemon is 4 times that
  bare.wallNs = 100 * 1000000;
  results.bareDeadline1ms = bare;
  std::string table = formatReport(results);
  auto rowOf = [&](const std::string& start) {
    std::size_t at = table.find("| " + start);
    return at == std::string::npos ? std::string() : table.substr(at, table.find('\n', at) - at);
  };
  EXPECT_NE(rowOf("Exact 1 ms: mean pass − period").find("| yes |"), std::string::npos);
  EXPECT_NE(rowOf("Exact 1 ms: CPU per pass, µs |").find("4.00×"), std::string::npos);
  EXPECT_NE(rowOf("Exact 1 ms: CPU per pass, µs |").find("**no**"), std::string::npos);
}
