// The room model against its closed-form answers, the clock-driven inputs,
// the probes' quantisation and noise, and the run's counters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "ModelFile.h"
#include "ProbeReader.h"
#include "Profiles.h"
#include "RoomModel.h"
#include "RunStatistics.h"

namespace {

// Runs `room` for `totalS` in steps of `stepS` under constant `inputs`.
double runFor(RoomModel& room, const RoomInputs& inputs, double totalS, double stepS) {
  for (double doneS = 0.0; doneS < totalS - 1e-9; doneS += stepS) {
    room.advance(inputs, std::min(stepS, totalS - doneS));
  }
  return room.temperatureC();
}

// The room of the closed-form tests: 1 MJ/K, 100 W/K, so tau = 10000 s.
const RoomParameters kRoom{1.0e6, 100.0};

TEST(RoomModelTest, SettlesAtTheEnergyBalanceWithItsTimeConstantWhateverTheStep) {
  RoomInputs inputs;
  inputs.outsideC = 20.0;
  inputs.loadW = 2000.0;  // equilibrium 20 + 2000 / 100 = 40
  const double tauS = kRoom.heatCapacityJPerK / kRoom.wallConductanceWPerK;
  for (double stepS : {0.5, 1.0, 60.0, 3600.0, 10000.0}) {
    RoomModel room(kRoom, 20.0);
    // After one time constant the room has covered 1 - 1/e of the way.
    EXPECT_NEAR(runFor(room, inputs, tauS, stepS), 40.0 - 20.0 / std::exp(1.0), 1e-9)
        << "step " << stepS;
    EXPECT_NEAR(runFor(room, inputs, 30.0 * tauS, stepS), 40.0, 1e-9) << "step " << stepS;
  }
  // A single huge step is stable: it lands on the equilibrium, no overshoot.
  RoomModel room(kRoom, 20.0);
  room.advance(inputs, 1.0e9);
  EXPECT_NEAR(room.temperatureC(), 40.0, 1e-9);
}

TEST(RoomModelTest, FanAirflowAddsItsConductance) {
  // 1500 m3/h at half speed: 750 m3/h of air at 1206 J/(m3 K) = 251.25 W/K.
  const double fanWPerK = airflowConductanceWPerK(1500.0) * 0.5;
  EXPECT_DOUBLE_EQ(fanWPerK, 251.25);
  RoomInputs inputs;
  inputs.outsideC = 18.0;
  inputs.loadW = 3000.0;
  inputs.ventilationWPerK = fanWPerK;
  RoomModel room(kRoom, 30.0);
  const StepCurve curve = room.advance(inputs, 60.0);
  EXPECT_DOUBLE_EQ(curve.equilibriumC, 18.0 + 3000.0 / 351.25);
  EXPECT_DOUBLE_EQ(curve.decayPerS, 351.25 / 1.0e6);
  const double tauS = 1.0e6 / 351.25;
  RoomModel settling(kRoom, 30.0);
  EXPECT_NEAR(runFor(settling, inputs, tauS, 7.0),
              curve.equilibriumC + (30.0 - curve.equilibriumC) / std::exp(1.0), 1e-9);
}

TEST(RoomModelTest, AnAirconLargerThanTheLoadCoolsTheRoom) {
  RoomInputs inputs;
  inputs.outsideC = 30.0;
  inputs.loadW = 2000.0;
  inputs.coolingW = 3500.0;  // equilibrium 30 - 1500 / 100 = 15
  RoomModel room(kRoom, 35.0);
  double previousC = room.temperatureC();
  for (int minute = 0; minute < 600; ++minute) {
    room.advance(inputs, 60.0);
    ASSERT_LT(room.temperatureC(), previousC);
    previousC = room.temperatureC();
  }
  EXPECT_NEAR(runFor(room, inputs, 3.0e5, 600.0), 15.0, 1e-6);
}

TEST(RoomModelTest, AnInsulatedRoomChangesLinearly) {
  RoomModel room(RoomParameters{2.0e5, 0.0}, 20.0);
  RoomInputs inputs;
  inputs.loadW = 1000.0;  // 1000 W / 200 kJ/K = 0.005 K/s
  const StepCurve curve = room.advance(inputs, 1000.0);
  EXPECT_DOUBLE_EQ(curve.endC(), 25.0);
  EXPECT_DOUBLE_EQ(curve.integralCS(), 22.5 * 1000.0);
  EXPECT_DOUBLE_EQ(curve.timeAboveS(24.0), 200.0);
}

TEST(RoomModelTest, StepCurveIntegralAndTimeAboveMatchTheCurve) {
  // Rising and falling curves, checked against a fine numeric sum.
  for (double startC : {10.0, 60.0}) {
    RoomModel room(kRoom, startC);
    RoomInputs inputs;
    inputs.outsideC = 20.0;
    inputs.loadW = 2000.0;  // towards 40
    const StepCurve curve = room.advance(inputs, 20000.0);
    const int slices = 200000;
    const double sliceS = curve.durationS / slices;
    double sumCS = 0.0;
    double aboveS = 0.0;
    for (int i = 0; i < slices; ++i) {
      const double middleC = curve.at((i + 0.5) * sliceS);
      sumCS += middleC * sliceS;
      aboveS += middleC > 30.0 ? sliceS : 0.0;
    }
    EXPECT_NEAR(curve.integralCS(), sumCS, 1e-3) << "from " << startC;
    EXPECT_NEAR(curve.timeAboveS(30.0), aboveS, 2 * sliceS) << "from " << startC;
    // Exact crossing of 30: 40 - 30 = 10 = (40 - 10) e^(-t / 10000).
    if (startC == 10.0) {
      EXPECT_NEAR(curve.timeAboveS(30.0), 20000.0 - 10000.0 * std::log(3.0), 1e-6);
    }
    EXPECT_DOUBLE_EQ(curve.timeAboveS(100.0), 0.0);
    EXPECT_DOUBLE_EQ(curve.timeAboveS(0.0), 20000.0);
  }
}

TEST(OutsideCurveTest, MinimumAndMaximumAtTheirHoursAndNothingBeyond) {
  const DailyTemperatureCurve curve(17.0, 35.0, 5.0, 15.0);
  EXPECT_DOUBLE_EQ(curve.at(5 * 3600.0), 17.0);
  EXPECT_DOUBLE_EQ(curve.at(15 * 3600.0), 35.0);
  EXPECT_NEAR(curve.at(10 * 3600.0), 26.0, 1e-9);  // half-way up
  EXPECT_NEAR(curve.at(22 * 3600.0), 26.0, 1e-9);  // half-way down (15 h + 7 h of 14)
  // The same every day, and before the first midnight too.
  EXPECT_NEAR(curve.at(5 * 3600.0 + kSecondsPerDay), 17.0, 1e-9);
  EXPECT_NEAR(curve.at(-19 * 3600.0), 17.0, 1e-9);
  double lowest = 1e9;
  double highest = -1e9;
  double previousC = curve.at(0.0);
  for (double s = 60.0; s <= 2 * kSecondsPerDay; s += 60.0) {
    const double c = curve.at(s);
    lowest = std::min(lowest, c);
    highest = std::max(highest, c);
    EXPECT_LT(std::fabs(c - previousC), 0.1) << "jump at " << s;  // continuous
    previousC = c;
  }
  EXPECT_DOUBLE_EQ(lowest, 17.0);
  EXPECT_DOUBLE_EQ(highest, 35.0);
  // The warmest hour may come before the coldest one in the day.
  const DailyTemperatureCurve night(10.0, 20.0, 14.0, 2.0);
  EXPECT_DOUBLE_EQ(night.at(2 * 3600.0), 20.0);
  EXPECT_DOUBLE_EQ(night.at(14 * 3600.0), 10.0);
  EXPECT_NEAR(night.at(20 * 3600.0), 15.0, 1e-9);
}

TEST(LoadProfileTest, InterpolatesAndWrapsAroundMidnight) {
  const DailyProfile profile({{4.0, 2600.0}, {16.0, 3400.0}, {22.0, 3000.0}});
  EXPECT_DOUBLE_EQ(profile.at(4 * 3600.0), 2600.0);
  EXPECT_DOUBLE_EQ(profile.at(10 * 3600.0), 3000.0);
  EXPECT_DOUBLE_EQ(profile.at(19 * 3600.0), 3200.0);
  // 22 h to 4 h next day: 6 hours from 3000 to 2600.
  EXPECT_NEAR(profile.at(1 * 3600.0), 2800.0, 1e-9);
  EXPECT_NEAR(profile.at(25 * 3600.0), 2800.0, 1e-9);
  EXPECT_DOUBLE_EQ(DailyProfile::constant(1234.0).at(55555.0), 1234.0);
}

TEST(TemperatureCsvTest, ReadsSecondsAndClockTimesAndHoldsTheEnds) {
  std::vector<std::pair<double, double>> points;
  std::string error;
  ASSERT_TRUE(parseTemperatureCsv(
      "time,temperature\n# a comment\n\n0,17\n6:00;18.5\r\n12:00:30\t30\n 90000 , 20 \n", points,
      error))
      << error;
  ASSERT_EQ(points.size(), 4u);
  EXPECT_DOUBLE_EQ(points[1].first, 21600.0);
  EXPECT_DOUBLE_EQ(points[2].first, 43230.0);
  EXPECT_DOUBLE_EQ(points[3].second, 20.0);
  const TimeSeries series(points);
  EXPECT_DOUBLE_EQ(series.at(-5.0), 17.0);
  EXPECT_DOUBLE_EQ(series.at(10800.0), 17.75);
  EXPECT_DOUBLE_EQ(series.at(1e7), 20.0);
}

TEST(TemperatureCsvTest, RefusesWhatIsNotATimeSeries) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no time and temperature"},
      {"time,temp\n", "no time and temperature"},
      {"0,17\n60,abc\n", "line 2: temperature 'abc'"},
      {"0,17\n60\n", "line 2: temperature ''"},
      {"0,17\nnoon,20\n", "line 2: time 'noon'"},
      {"0,17\n6:7,20\n", "line 2: time '6:7'"},
      {"0,17\n6:75,20\n", "line 2: time '6:75'"},
      {"0,17\n-5,20\n", "line 2: time '-5'"},
      {"3600,17\n1:00,20\n", "line 2: time '1:00' does not come after"},
      {"0,nan\n", "line 1: temperature 'nan'"},
  };
  for (const auto& [text, problem] : cases) {
    std::vector<std::pair<double, double>> points;
    std::string error;
    EXPECT_FALSE(parseTemperatureCsv(text, points, error)) << text;
    EXPECT_NE(error.find(problem), std::string::npos) << text << " -> " << error;
  }
}

TEST(ProbeReaderTest, RoundsToTheResolution) {
  EXPECT_DOUBLE_EQ(quantise(24.349, 0.1), 243 * 0.1);
  EXPECT_DOUBLE_EQ(quantise(24.26, 0.5), 24.5);
  EXPECT_DOUBLE_EQ(quantise(24.26, 0.0), 24.26);
  EXPECT_FALSE(std::signbit(quantise(-0.04, 0.1)));  // prints "0", not "-0"
  ProbeReader probe(0.1, 0.0, 1);
  EXPECT_EQ(probe.read(24.349), 24.3f);
  EXPECT_EQ(probe.read(-3.26), -3.3f);
}

TEST(ProbeReaderTest, SeededNoiseIsReproducibleAndHasTheGivenSpread) {
  ProbeReader first(0.0, 0.5, 42);
  ProbeReader again(0.0, 0.5, 42);
  ProbeReader other(0.0, 0.5, 43);
  double sum = 0.0;
  double sumSquares = 0.0;
  int differentFromOther = 0;
  const int samples = 20000;
  for (int i = 0; i < samples; ++i) {
    const float reading = first.read(20.0);
    ASSERT_EQ(reading, again.read(20.0)) << "sample " << i;
    differentFromOther += reading != other.read(20.0);
    sum += reading - 20.0;
    sumSquares += (reading - 20.0) * (reading - 20.0);
  }
  EXPECT_GT(differentFromOther, samples * 9 / 10);
  const double mean = sum / samples;
  EXPECT_NEAR(mean, 0.0, 0.02);
  EXPECT_NEAR(std::sqrt(sumSquares / samples - mean * mean), 0.5, 0.02);
  // The sequence is fixed by the seed on every machine: pin its start.
  ProbeReader pinned(0.01, 1.0, 1);
  const float firstThree[] = {pinned.read(0.0), pinned.read(0.0), pinned.read(0.0)};
  ProbeReader pinnedAgain(0.01, 1.0, 1);
  for (float expected : firstThree) {
    EXPECT_EQ(pinnedAgain.read(0.0), expected);
  }
}

// A definition with what RunStatistics looks at.
ModelSpec statisticsSpec() {
  ModelSpec definition;
  definition.stepS = 60.0;
  definition.durationS = 7200.0;
  // Number, label, cooling and electric power, line.
  definition.aircons = {{1, "", 3500.0, 1200.0, 0}, {2, "", 3500.0, 1000.0, 0}};
  definition.fan = FanSpec{"", 1500.0, 200.0, 0};  // airflow and electric power at full speed
  definition.thresholds = {{"warm", 25.0}, {"hot", 35.0}};
  return definition;
}

// A flat step at `c` degrees.
StepCurve flatStep(double c, double durationS) {
  StepCurve curve;
  curve.startC = c;
  curve.equilibriumC = c;
  curve.decayPerS = 1e-3;
  curve.durationS = durationS;
  return curve;
}

TEST(RunStatisticsTest, CountsRunTimeStartsAndEnergy) {
  const ModelSpec definition = statisticsSpec();
  OutputState initial;
  initial.airconOn[1] = true;  // already running: not a start
  RunStatistics statistics(definition, 24.0, 20.0, initial);
  OutputState outputs;
  // Unit 1: on 10 minutes, off 5, on 20: two starts, half an hour.
  // Unit 2: on from the start for 15 minutes: no start.
  // Fan: half speed the whole hour.
  for (int minute = 0; minute < 60; ++minute) {
    outputs.airconOn[0] = minute < 10 || (minute >= 15 && minute < 35);
    outputs.airconOn[1] = minute < 15;
    outputs.fanFraction = 0.5;
    statistics.addStep(flatStep(24.0, 60.0), 20.0, outputs);
  }
  EXPECT_EQ(statistics.airconStarts(1), 2u);
  EXPECT_EQ(statistics.airconStarts(2), 0u);
  EXPECT_DOUBLE_EQ(statistics.airconRunS(1), 1800.0);
  EXPECT_DOUBLE_EQ(statistics.airconRunS(2), 900.0);
  EXPECT_DOUBLE_EQ(statistics.airconEnergyJ(1), 1200.0 * 1800.0);
  EXPECT_DOUBLE_EQ(statistics.airconEnergyJ(2), 1000.0 * 900.0);
  // The cube of the speed: 200 W / 8 over an hour.
  EXPECT_DOUBLE_EQ(statistics.fanEnergyJ(), 25.0 * 3600.0);
  EXPECT_DOUBLE_EQ(statistics.fanRunS(), 3600.0);
  // The fan swaps 750 m3/h (251.25 W/K) across 4 degrees for an hour.
  EXPECT_NEAR(statistics.outsideAirCoolingJ(), 251.25 * 4.0 * 3600.0, 1e-6);
  EXPECT_DOUBLE_EQ(statistics.airconCoolingJ(), 3500.0 * 2700.0);
  EXPECT_NEAR(statistics.outsideAirShare(),
              251.25 * 4 * 3600 / (251.25 * 4 * 3600 + 3500.0 * 2700.0), 1e-12);
  EXPECT_DOUBLE_EQ(statistics.fanHeatGainJ(), 0.0);
}

// Aircon 1's output step by step ('1' on) against its cycling figures.
TEST(RunStatisticsTest, ShortestRunAndRestAtTheStepAndMostStartsInAnHour) {
  struct Row {
    bool initiallyOn;
    double stepS;
    std::string outputs;
    std::string figures;  // the summary line after "summary aircon 1 "
  };
  const std::string sameStartHourLater = "01" + std::string(35999, '0') + "1";
  const Row rows[] = {
      {false, 1.0, "0000", "shortest run n/a shortest rest n/a most starts in 60 min 0"},
      // Off before the first start is no rest; still running at the end, no run.
      {false, 1.0, "0011", "shortest run n/a shortest rest n/a most starts in 60 min 1"},
      // Running from the beginning: its run's length is unknown, not 1 s.
      {true, 1.0, "1001110", "shortest run 3 s shortest rest 2 s most starts in 60 min 1"},
      // Half-second steps: runs of 1, 1.5 and 0.5 s, rests of 0.5 and 1.5 s.
      {false, 0.5, "0110111000100",
       "shortest run 0.5 s shortest rest 0.5 s most starts in 60 min 3"},
      // Starts every 20 minutes; one 60 minutes after another is not in its window.
      {false, 600.0, "0101010101",
       "shortest run 600 s shortest rest 600 s most starts in 60 min 3"},
      // 36000 steps of 0.1 s add up to a hair less than 3600 s.
      {false, 0.1, sameStartHourLater,
       "shortest run 0.1 s shortest rest 3599.9 s most starts in 60 min 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.outputs.substr(0, 20));
    ModelSpec definition = statisticsSpec();
    definition.stepS = row.stepS;
    OutputState outputs;
    outputs.airconOn[0] = row.initiallyOn;
    RunStatistics statistics(definition, 24.0, 20.0, outputs);
    for (char on : row.outputs) {
      outputs.airconOn[0] = on == '1';
      statistics.addStep(flatStep(24.0, row.stepS), 20.0, outputs);
    }
    const std::vector<std::string> lines = statistics.summaryLines("", 0);
    const std::string expected = "summary aircon 1 " + row.figures;
    EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end()) << expected;
  }
}

TEST(RunStatisticsTest, WarmOutsideAirIsAGainNotCooling) {
  const ModelSpec definition = statisticsSpec();
  RunStatistics statistics(definition, 30.0, 35.0, OutputState{});
  OutputState fullFan;
  fullFan.fanFraction = 1.0;
  statistics.addStep(flatStep(30.0, 3600.0), 35.0, fullFan);
  EXPECT_DOUBLE_EQ(statistics.outsideAirCoolingJ(), 0.0);
  EXPECT_NEAR(statistics.fanHeatGainJ(), 502.5 * 5.0 * 3600.0, 1e-6);
  EXPECT_LT(statistics.outsideAirShare(), 0.0);  // nothing cooled
}

TEST(RunStatisticsTest, SummaryLines) {
  ModelSpec definition = statisticsSpec();
  definition.startClockS = 6 * 3600.0 + 30 * 60.0;
  RunStatistics statistics(definition, 24.0, 20.0, OutputState{});
  OutputState outputs;
  outputs.airconOn[0] = true;
  // 24 rising towards 40 with tau 1000 s, one hour in one step:
  // T(t) = 40 - 16 e^(-t/1000); mean 40 - 16000 (1 - e^-3.6) / 3600 = 35.68;
  // above 25 from t = 1000 ln(16/15) = 64.5 s, above 35 from 1000 ln 3.2.
  RoomModel room(RoomParameters{1.0e5, 100.0}, 24.0);
  RoomInputs inputs;
  inputs.outsideC = 20.0;
  inputs.loadW = 2000.0;
  const StepCurve curve = room.advance(inputs, 3600.0);
  statistics.addStep(curve, 20.0, outputs);
  const std::vector<std::string> expected = {
      "summary simulated 3600 of 7200 s from 06:30:00 in 1 steps of 60 s",
      "summary internal min 24.00 mean 35.68 max 39.56 C",
      "summary external min 20.00 mean 20.00 max 20.00 C",
      "summary above warm 25 C for 3535 s (0.98 h)",
      "summary above hot 35 C for 2437 s (0.68 h)",
      "summary aircon 1 run 1.00 h starts 1 energy 1.200 kWh",
      "summary aircon 1 shortest run n/a shortest rest n/a most starts in 60 min 1",
      "summary aircon 2 run 0.00 h starts 0 energy 0.000 kWh",
      "summary aircon 2 shortest run n/a shortest rest n/a most starts in 60 min 0",
      "summary fan run 0.00 h energy 0.000 kWh",
      "summary energy total 1.200 kWh",
      "summary cooling by outside air 0.000 kWh by aircons 3.500 kWh share 0.0 %",
      "summary heat brought in by the fan 0.000 kWh",
      "summary csv out/day.csv rows 2",
  };
  EXPECT_EQ(statistics.summaryLines("out/day.csv", 2), expected);
  EXPECT_EQ(clockText(25 * 3600.0 + 61.0), "25:01:01");
}

}  // namespace
