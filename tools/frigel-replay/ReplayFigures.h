// What a replay measures: the figures of a whole run and of each calendar
// month, the mode changes and broken invariants in order, the inside
// temperature's distribution and each hour's mode. A run is replayed in
// spans (one per calendar year, each from a fresh start) whose figures are
// appended in order.
#ifndef FRIGEL_REPLAY_REPLAYFIGURES_H
#define FRIGEL_REPLAY_REPLAYFIGURES_H

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The controller's five cooling modes, by their value.
constexpr int kCoolingModes = 5;
// Hours below this are reported: a shelter without a heater gets cold.
constexpr double kColdCelsius = 10.0;
// The inside temperature's distribution: tenths of a degree from this up.
constexpr double kDistributionLowestC = -60.0;
constexpr int kDistributionTenths = 1500;  // to +90 C

// One air conditioner's output (what the compressor sees).
struct UnitFigures {
  double runSeconds = 0.0;
  uint64_t starts = 0;
  // The most starts within any 60 minutes; each window counts for the
  // month of its last start.
  uint64_t mostStartsIn60Minutes = 0;
  // The shortest run (start to stop) and rest (stop to start) that ended
  // in the period; -1 when none did.
  double shortestRunSeconds = -1.0;
  double shortestRestSeconds = -1.0;
  // Starts the controller asked for that had to wait (minimum off time or
  // start stagger).
  uint64_t heldStarts = 0;
  double energyJ = 0.0;
  // Times the daemon's no-cooling alarm would have called the unit out.
  uint64_t noCoolingAlarms = 0;

  void add(const UnitFigures& other);
};

// A temperature over a period: its extremes, and its integral over time.
struct TemperatureFigures {
  double minC = 0.0;
  double maxC = 0.0;
  double integralCS = 0.0;  // degree-seconds

  // Adds a later stretch of time. `first`: the period had no time before,
  // so the stretch's extremes are the period's.
  void add(const TemperatureFigures& later, bool first);
};

struct PeriodFigures {
  int64_t beginUnixSeconds = 0;
  int64_t endUnixSeconds = 0;
  double simulatedSeconds = 0.0;
  // The extremes exist only where time was simulated.
  TemperatureFigures inside;
  TemperatureFigures outside;
  // Seconds above each threshold of the room model, in its order.
  std::vector<double> secondsAbove;
  double secondsBelowCold = 0.0;
  UnitFigures aircon[2];
  double fanRunSeconds = 0.0;
  double fanEnergyJ = 0.0;
  double modeSeconds[kCoolingModes] = {};
  // Heat taken out by the outside air and by the air conditioners, and
  // brought in by the fan when the outside air was the warmer (J).
  double outsideAirCoolingJ = 0.0;
  double airconCoolingJ = 0.0;
  double fanHeatGainJ = 0.0;
  uint64_t invariantBreaks = 0;

  // An empty period from `beginUnixSeconds`, with `thresholds` thresholds.
  static PeriodFigures empty(int64_t beginUnixSeconds, std::size_t thresholds);
  // Adds a later period: sums, extremes, and the span up to its end.
  void add(const PeriodFigures& later);

  double compressorSeconds() const { return aircon[0].runSeconds + aircon[1].runSeconds; }
  uint64_t starts() const { return aircon[0].starts + aircon[1].starts; }
  double energyJ() const { return aircon[0].energyJ + aircon[1].energyJ + fanEnergyJ; }
  // The outside air's share of the heat taken out, 0 to 1; -1 when
  // nothing was cooled.
  double freeAirShare() const;
  double insideMeanC() const;
};

struct ModeChange {
  int64_t unixMicroseconds = 0;
  int from = 0;
  int to = 0;
};

struct InvariantBreak {
  int64_t unixMicroseconds = 0;
  int unit = 0;
  std::string rule;
  std::string detail;
};

struct RunFigures {
  PeriodFigures whole;
  std::vector<PeriodFigures> months;
  uint64_t passes = 0;
  // The time the replay of the spans took, summed (one process's worth).
  double wallSeconds = 0.0;
  std::vector<ModeChange> modeChanges;
  std::vector<InvariantBreak> breaks;
  // Seconds the inside spent in each tenth of a degree from
  // kDistributionLowestC (the ends hold everything beyond).
  std::vector<double> insideSecondsByTenth;
  // The mode that held most of each calendar hour, from the hour at
  // firstHourUnixSeconds on.
  int64_t firstHourUnixSeconds = 0;
  std::vector<uint8_t> hourModes;
  // CSV rows, each ending in a line feed.
  std::string csvRows;

  // Appends the span that follows this one.
  void append(const RunFigures& later);
};

// Every figure, exactly (numbers round-trip), for handing a span's result
// from one process to another.
nlohmann::json figuresToTransport(const RunFigures& figures);
RunFigures figuresFromTransport(const nlohmann::json& transport);

#endif
