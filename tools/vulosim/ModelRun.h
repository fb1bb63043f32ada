// A model run: on each tick, one fixed step of simulated time. It reads
// the outputs the daemon wrote into the site (air conditioners' run
// contacts, fan speed), advances the room, updates the probes (pushing a
// trend event whenever a probe's reported value changes), records CSV rows,
// and after the last step prints the summary and stops the transport.
//
// An air conditioner may be failed (by the model file, or by the console's
// fail and repair): its output still follows the daemon, and while it is on
// the unit runs and draws its electric power, but it cools nothing, like a
// unit that has lost its refrigerant charge.
#ifndef VULOSIM_MODELRUN_H
#define VULOSIM_MODELRUN_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "CsvRecorder.h"
#include "Hub.h"
#include "LineSink.h"
#include "ModelFile.h"
#include "ModelPorts.h"
#include "ProbeReader.h"
#include "RoomModel.h"
#include "RunStatistics.h"
#include "Simulator.h"
#include "SiteStore.h"
#include "Transport.h"

class ModelRun : public PeriodicTask, public AirconFaults {
 public:
  // `ports` must come from bindModelPorts() on the same `store`. `csv`:
  // an open recorder, or null for no CSV. `clientConnected` is asked on
  // each tick while the model waits for its first client (startWhen
  // "client"); empty: the clock starts at once. Sets the probes to their
  // first readings, without pushing (no client is there yet). Serves the
  // simulator's fail and repair until destroyed.
  ModelRun(const ModelSpec& definition, const ModelPorts& ports, SiteStore& store,
           Simulator& simulator, LineSink& out, ClientHub& hub, CsvRecorder* csv,
           std::function<bool()> clientConnected = {});
  ~ModelRun() override;
  ModelRun(const ModelRun&) = delete;
  ModelRun& operator=(const ModelRun&) = delete;

  // From the next step on.
  bool setAirconFailed(const std::string& label, bool failed) override;

  // Real time between two steps: the step over the factor.
  std::chrono::duration<double> tickPeriod() const;

  // One step, unless the clock still waits for a client or the run is
  // over; after the last step, finish() and a stop request to the hub.
  void tick() override;

  // Writes a last CSV row when the run did not end on a recording
  // interval, closes the CSV and prints the summary (of the time simulated
  // so far, when called early); the first call only. False when the CSV could not
  // be written completely; the reason went to standard error.
  bool finish();

  bool complete() const { return mSteps >= mSpec.totalSteps(); }
  uint64_t steps() const { return mSteps; }
  double simulatedS() const { return static_cast<double>(mSteps) * mSpec.stepS; }
  double internalC() const { return mRoom.temperatureC(); }
  const RunStatistics& statistics() const { return mStatistics; }

 private:
  void step();
  OutputState readOutputs() const;
  double clockS() const { return mSpec.startClockS + simulatedS(); }
  // Stores `reading` in every input of `inputs` and pushes a trend event
  // for each whose value changes.
  void publish(const std::vector<std::size_t>& inputs, float reading, bool push);
  void record(const OutputState& outputs);

  const ModelSpec mSpec;
  const ModelPorts mPorts;
  SiteStore& mStore;
  Simulator& mSimulator;
  LineSink& mOut;
  ClientHub& mHub;
  CsvRecorder* mCsv;
  std::function<bool()> mClientConnected;
  double mFanConductanceWPerK;  // at full speed
  RoomModel mRoom;
  ProbeReader mInternalProbe;
  ProbeReader mExternalProbe;
  RunStatistics mStatistics;
  uint64_t mSteps = 0;
  OutputState mLastOutputs;  // held over the last step
  FaultState mFaults;
  bool mStarted = false;
  bool mFinished = false;
  bool mFinishResult = true;
};

#endif
