#include "Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <numeric>
#include <vector>

namespace {

// Goals the figures are held to.
constexpr double kLiteralCpuRatioGoal = 1.10;
constexpr double kExactCpuRatioGoal = 1.5;
// Exact pacing against a bare deadline loop that also writes the fan set
// each pass: the I/O a pass must do, so what is above it is the daemon's own.
constexpr double kExactCpuAgainstSetGoal = 1.3;
constexpr double kMeanPassToleranceFraction = 0.001;
constexpr double kP99AbovePeriodGoalUs = 150;
constexpr double kCpuPerSecondAdvantageGoal = 8;
constexpr double kLatencyPassesGoal = 2;
constexpr double kTrendEventsPerSecondGoal = 50000;
// Growth of resident memory between the first and the last burst that
// still counts as none (allocator noise).
constexpr long kNoGrowthToleranceKib = 64;
constexpr long kRestingMemoryGoalKib = 8 * 1024;

const std::string kNone = "—";

std::string number(double value, int decimals) {
  if (!std::isfinite(value)) {
    return kNone;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string ratio(double numerator, double denominator) {
  if (denominator <= 0 || !std::isfinite(numerator / denominator)) {
    return kNone;
  }
  return number(numerator / denominator, 2) + "×";
}

std::string verdict(bool available, bool met) {
  if (!available) {
    return "n/a";
  }
  return met ? "yes" : "**no**";
}

struct Row {
  std::string figure;
  std::string frigel;
  std::string reference = kNone;
  std::string ratioText = kNone;
  std::string goal = kNone;
  std::string met = kNone;
};

class Table {
 public:
  void section(const std::string& title) { mText += "| **" + title + "** | | | | | |\n"; }
  void add(const Row& row) {
    mText += "| " + row.figure + " | " + row.frigel + " | " + row.reference + " | " +
             row.ratioText + " | " + row.goal + " | " + row.met + " |\n";
  }
  std::string text() const {
    return "| Figure | frigel | Bare reference | Ratio | Goal | Met |\n"
           "|---|---:|---:|---:|---|---|\n" +
           mText;
  }

 private:
  std::string mText;
};

bool ran(const DaemonFigures& daemon) {
  return daemon.ran();
}

Summary barePassUs(const std::optional<BareLoopResult>& bare) {
  return bare ? summarizeNs(bare->passNs, kNanosecondsPerMicrosecond) : Summary{};
}

double bareMeanPassUs(const std::optional<BareLoopResult>& bare) {
  if (!bare || bare->passNs.empty()) {
    return NAN;
  }
  return static_cast<double>(bare->wallNs) / static_cast<double>(bare->passNs.size()) /
         kNanosecondsPerMicrosecond;
}

double bareCpuPerPassUs(const std::optional<BareLoopResult>& bare) {
  if (!bare || bare->passNs.empty()) {
    return NAN;
  }
  return static_cast<double>(bare->cpuNs) / static_cast<double>(bare->passNs.size()) /
         kNanosecondsPerMicrosecond;
}

double bareCpuPerSecond(const std::optional<BareLoopResult>& bare) {
  if (!bare || bare->wallNs <= 0) {
    return NAN;
  }
  return static_cast<double>(bare->cpuNs) / static_cast<double>(bare->wallNs);
}

std::string passCount(const DaemonFigures& daemon, const std::optional<BareLoopResult>& bare) {
  return std::to_string(daemon.passes.passNs.size()) + " passes; bare " +
         std::to_string(bare ? bare->passNs.size() : 0);
}

// Pass length rows of one pacing; `periodUs` 0 for the literal loop.
void addPassRows(Table& table, const std::string& mode, const DaemonFigures& daemon,
                 const std::optional<BareLoopResult>& bare, double periodUs) {
  const bool daemonRan = ran(daemon);
  const Summary d = daemon.passes.passUs();
  const Summary b = barePassUs(bare);
  const double bareMean = bareMeanPassUs(bare);
  const double dMean = daemonRan ? daemon.passes.meanPassUs() : NAN;
  table.add({mode + ": pass length mean, µs (" + passCount(daemon, bare) + ")", number(dMean, 1),
             number(bareMean, 1), ratio(dMean, bareMean), kNone, kNone});
  if (periodUs > 0) {
    const double deviation = std::fabs(dMean - periodUs) / periodUs;
    const double bareDeviation = std::fabs(bareMean - periodUs) / periodUs;
    table.add({mode + ": mean pass − period, %", number(100 * deviation, 4),
               number(100 * bareDeviation, 4), kNone, "≤ 0.1 %",
               verdict(daemonRan, deviation <= kMeanPassToleranceFraction)});
  }
  table.add({mode + ": pass length median, µs", number(daemonRan ? d.median : NAN, 1),
             number(bare ? b.median : NAN, 1), kNone, kNone, kNone});
  Row p99{mode + ": pass length p99, µs", number(daemonRan ? d.p99 : NAN, 1),
          number(bare ? b.p99 : NAN, 1)};
  if (periodUs > 0) {
    p99.goal = "≤ period + 150 µs (" + number(periodUs + kP99AbovePeriodGoalUs, 0) + ")";
    p99.met = verdict(daemonRan, d.p99 <= periodUs + kP99AbovePeriodGoalUs);
  }
  table.add(p99);
  table.add({mode + ": pass length max, µs", number(daemonRan ? d.max : NAN, 1),
             number(bare ? b.max : NAN, 1), kNone, kNone, kNone});
}

void addCpuRows(Table& table, const std::string& mode, const DaemonFigures& daemon,
                const std::optional<BareLoopResult>& bare, double goalRatio) {
  const bool daemonRan = ran(daemon);
  const PassFigures& p = daemon.passes;
  table.add(
      {mode + ": CPU seconds per wall second", number(daemonRan ? p.cpuSecondsPerSecond() : NAN, 4),
       number(bareCpuPerSecond(bare), 4),
       ratio(daemonRan ? p.cpuSecondsPerSecond() : NAN, bareCpuPerSecond(bare)), kNone, kNone});
  const double bareCpu = bareCpuPerPassUs(bare);
  table.add({mode + ": CPU per pass, µs", number(daemonRan ? p.cpuPerPassUs() : NAN, 2),
             number(bareCpu, 2), ratio(daemonRan ? p.cpuPerPassUs() : NAN, bareCpu),
             "≤ " + number(goalRatio, 2) + "× bare",
             verdict(daemonRan && bare.has_value(), p.cpuPerPassUs() <= goalRatio * bareCpu)});
  const double bareSwitches =
      bare && !bare->passNs.empty()
          ? static_cast<double>(bare->contextSwitches) / static_cast<double>(bare->passNs.size())
          : NAN;
  table.add({mode + ": context switches per pass, every thread",
             number(daemonRan ? p.contextSwitchesPerPass() : NAN, 2), number(bareSwitches, 2),
             ratio(daemonRan ? p.contextSwitchesPerPass() : NAN, bareSwitches), kNone, kNone});
  table.add({mode + ": CPU per pass, main thread / other threads, µs",
             daemonRan ? number(p.mainThreadCpuPerPassUs(), 2) + " / " +
                             number(p.otherThreadsCpuPerPassUs(), 2)
                       : kNone,
             kNone, kNone, kNone, kNone});
}

void addLatencyRows(Table& table, const std::string& mode, const DaemonFigures& daemon) {
  const LatencyFigures& l = daemon.latency;
  const bool measured = ran(daemon) && l.latencyMs.count > 0;
  table.add({mode + ": probe change → air-conditioner set, min / median / p99 / max, ms (" +
                 std::to_string(l.changes) + " changes, " + std::to_string(l.missed) + " lost)",
             measured ? number(l.latencyMs.min, 2) + " / " + number(l.latencyMs.median, 2) + " / " +
                            number(l.latencyMs.p99, 2) + " / " + number(l.latencyMs.max, 2)
                      : kNone,
             kNone, kNone, kNone, kNone});
  std::string spread;
  for (const auto& [passes, changes] : l.changesByPasses) {
    spread +=
        (spread.empty() ? "" : ", ") + std::to_string(changes) + " in " + std::to_string(passes);
  }
  table.add({mode + ": the same in passes ended since the push: p99 / max (changes by passes); "
                    "p99 latency ÷ mean pass",
             measured ? number(l.passes.p99, 0) + " / " + number(l.passes.max, 0) + " (" + spread +
                            "); " + number(l.p99InMeanPasses, 2)
                      : kNone,
             kNone, kNone, "≤ 2 passes at p99",
             verdict(measured, l.missed == 0 && l.passes.p99 <= kLatencyPassesGoal)});
}

void addTrendRows(Table& table, const std::string& mode, const DaemonFigures& daemon) {
  if (!daemon.trends) {
    return;
  }
  const TrendFigures& t = *daemon.trends;
  const bool measured = !t.eventsPerSecond.empty();
  double lowest = NAN;
  double mean = NAN;
  if (measured) {
    lowest = *std::min_element(t.eventsPerSecond.begin(), t.eventsPerSecond.end());
    mean = std::accumulate(t.eventsPerSecond.begin(), t.eventsPerSecond.end(), 0.0) /
           static_cast<double>(t.eventsPerSecond.size());
  }
  table.add({mode + ": trend events absorbed per second, lowest / mean of the bursts",
             measured ? number(lowest, 0) + " / " + number(mean, 0) : kNone, kNone, kNone,
             "≥ 50,000", verdict(measured, lowest >= kTrendEventsPerSecondGoal)});
  table.add({mode + ": bursts whose last value switched the air conditioner",
             std::to_string(t.switched) + " of " + std::to_string(t.bursts), kNone, kNone, "all",
             verdict(t.bursts > 0, t.switched == t.bursts)});
  const bool memoryKnown = t.residentAfterFirstKib > 0 && t.residentAfterKib > 0;
  table.add({mode + ": resident memory before / after the first burst / after the last / peak, KiB",
             std::to_string(t.residentBeforeKib) + " / " + std::to_string(t.residentAfterFirstKib) +
                 " / " + std::to_string(t.residentAfterKib) + " / " +
                 std::to_string(t.residentPeakKib),
             kNone, kNone, "no growth from burst to burst",
             verdict(memoryKnown,
                     t.residentAfterKib - t.residentAfterFirstKib <= kNoGrowthToleranceKib)});
}

void addRestingMemoryRow(Table& table, const std::string& mode, const DaemonFigures& daemon) {
  table.add(
      {mode + ": resident memory at rest, KiB",
       daemon.residentAtRestKib > 0 ? std::to_string(daemon.residentAtRestKib) : kNone, kNone,
       kNone, "≤ 8 MiB (8192)",
       verdict(daemon.residentAtRestKib > 0, daemon.residentAtRestKib <= kRestingMemoryGoalKib)});
}

Summary latenessUs(const std::optional<BareLoopResult>& bare) {
  return bare ? summarizeNs(bare->latenessNs, kNanosecondsPerMicrosecond) : Summary{};
}

void addSlackRows(Table& table, const BenchResults& r) {
  const std::string ours = number(static_cast<double>(r.daemonTimerSlackNs) / 1000, 0) + " µs";
  const Summary oursLate = latenessUs(r.bareSlackDaemon);
  const Summary defaultLate = latenessUs(r.bareSlackDefault);
  const bool both = r.bareSlackDaemon && r.bareSlackDefault;
  table.add(
      {"Timer slack, bare 1 ms deadline loop: wake-up after the deadline, median / p99, µs; "
       "frigel column: " +
           ours + " (frigel's), reference: 50 µs (default)",
       both ? number(oursLate.median, 1) + " / " + number(oursLate.p99, 1) : kNone,
       both ? number(defaultLate.median, 1) + " / " + number(defaultLate.p99, 1) : kNone, kNone,
       kNone, kNone});
  table.add({"Timer slack, bare 1 ms deadline loop: CPU per pass, µs, " + ours + " vs 50 µs",
             number(bareCpuPerPassUs(r.bareSlackDaemon), 2),
             number(bareCpuPerPassUs(r.bareSlackDefault), 2),
             ratio(bareCpuPerPassUs(r.bareSlackDaemon), bareCpuPerPassUs(r.bareSlackDefault)),
             kNone, kNone});
}

// The daemon's CPU per pass against bare deadline loops that also write
// the fan set (each from its own thread, or handed to a second one), and
// the pass lengths the server saw from each. The goal holds for the loop
// that writes the set itself.
struct SetReference {
  const char* what;
  const std::optional<BareLoopResult>& loop;
  const Summary& atServer;
  bool judged;
};

void addSetPathRows(Table& table, const std::string& mode, const DaemonFigures& daemon,
                    std::initializer_list<SetReference> references) {
  const bool daemonRan = ran(daemon);
  const double perPass = daemonRan ? daemon.passes.cpuPerPassUs() : NAN;
  const Summary daemonPasses = daemon.passes.passUs();
  const std::string daemonTail =
      daemonRan ? number(daemonPasses.p99, 1) + " / " + number(daemonPasses.max, 1) : kNone;
  for (const SetReference& reference : references) {
    const double bareCpu = bareCpuPerPassUs(reference.loop);
    Row row{mode + ": CPU per pass, µs, against a bare deadline loop that " + reference.what,
            number(perPass, 2), number(bareCpu, 2), ratio(perPass, bareCpu)};
    if (reference.judged) {
      row.goal = "≤ " + number(kExactCpuAgainstSetGoal, 2) + "× bare";
      row.met = verdict(daemonRan && reference.loop.has_value(),
                        perPass <= kExactCpuAgainstSetGoal * bareCpu);
    }
    table.add(row);
    const Summary& s = reference.atServer;
    table.add({mode + ": pass length at the server, p99 / max, µs, against that same loop",
               daemonTail, s.count > 0 ? number(s.p99, 1) + " / " + number(s.max, 1) : kNone, kNone,
               kNone, kNone});
  }
}

void addGridRow(Table& table, const std::string& mode, const DaemonFigures& daemon,
                const std::optional<BareLoopResult>& bare, double periodUs) {
  const int64_t periodNs = static_cast<int64_t>(periodUs * kNanosecondsPerMicrosecond);
  auto text = [&](const std::vector<int64_t>& passNs) {
    if (passNs.empty()) {
      return kNone;
    }
    Summary s = summarizeNs(gridLatenessNs(passNs, periodNs), kNanosecondsPerMicrosecond);
    return number(s.median, 1) + " / " + number(s.p99, 1) + " / " + number(s.max, 1);
  };
  table.add({mode + ": pass end after its point on the grid (the earliest at 0), median / p99 / "
                    "max, µs",
             ran(daemon) ? text(daemon.passes.passNs) : kNone, bare ? text(bare->passNs) : kNone,
             kNone, kNone, kNone});
}

void addSamePassLengthRow(Table& table, const BenchResults& r) {
  // Exact pacing's CPU per pass barely depends on the period, so its CPU per
  // second at the literal loop's pass length is its CPU per pass (measured
  // at 10 ms) divided by that length.
  const bool available = ran(r.literal) && ran(r.exact10ms);
  const double literalPerSecond = r.literal.passes.cpuSecondsPerSecond();
  const double exactPerSecond = r.exact10ms.passes.cpuPerPassUs() / r.literal.passes.meanPassUs();
  table.add(
      {"CPU seconds per second at the literal loop's pass length: literal loop (frigel "
       "column) vs exact pacing (reference column, its CPU per pass at 10 ms ÷ the literal "
       "loop's mean pass)",
       number(available ? literalPerSecond : NAN, 4), number(available ? exactPerSecond : NAN, 5),
       available ? number(literalPerSecond / exactPerSecond, 1) + "× less" : kNone, "≥ 8× less",
       verdict(available, literalPerSecond >= kCpuPerSecondAdvantageGoal * exactPerSecond)});
}

// One exact-pacing period: passes, CPU, the grid and the set path against
// the bare deadline loops of the same period.
void addExactSection(Table& table, const std::string& period, const DaemonFigures& daemon,
                     const std::optional<BareLoopResult>& bare, double periodUs,
                     std::initializer_list<SetReference> references) {
  table.section("Exact pacing, " + period);
  const std::string mode = "Exact " + period;
  addPassRows(table, mode, daemon, bare, periodUs);
  addCpuRows(table, mode, daemon, bare, kExactCpuRatioGoal);
  addGridRow(table, mode, daemon, bare, periodUs);
  addSetPathRows(table, mode, daemon, references);
}

}  // namespace

std::string formatReport(const BenchResults& r) {
  Table table;
  table.section("Literal loop (100 × usleep(10) per pass)");
  addPassRows(table, "Literal", r.literal, r.bareLiteral, 0);
  addCpuRows(table, "Literal", r.literal, r.bareLiteral, kLiteralCpuRatioGoal);

  addExactSection(table, "1 ms", r.exact1ms, r.bareDeadline1ms, 1000,
                  {SetReference{"writes the fan set itself", r.bareDeadlineSet1ms,
                                r.bareDeadlineSet1msAtServerUs, true},
                   SetReference{"hands the fan set to a second thread that writes it",
                                r.bareHandedSet1ms, r.bareHandedSet1msAtServerUs, false}});
  addExactSection(table, "10 ms", r.exact10ms, r.bareDeadline10ms, 10000,
                  {SetReference{"writes the fan set itself", r.bareDeadlineSet10ms,
                                r.bareDeadlineSet10msAtServerUs, true}});

  table.section("Literal loop against exact pacing");
  addSamePassLengthRow(table, r);

  table.section("Timer slack");
  addSlackRows(table, r);

  table.section("Latency: probe change at the server → the air conditioner's set back at it");
  addLatencyRows(table, "Literal", r.literal);
  addLatencyRows(table, "Exact 1 ms", r.exact1ms);
  addLatencyRows(table, "Exact 10 ms", r.exact10ms);

  table.section("Trend-event bursts");
  addTrendRows(table, "Literal", r.literal);
  addTrendRows(table, "Exact 1 ms", r.exact1ms);
  addTrendRows(table, "Exact 10 ms", r.exact10ms);

  table.section("Memory");
  addRestingMemoryRow(table, "Literal", r.literal);
  addRestingMemoryRow(table, "Exact 1 ms", r.exact1ms);
  addRestingMemoryRow(table, "Exact 10 ms", r.exact10ms);
  return table.text();
}
