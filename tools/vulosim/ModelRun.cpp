#include "ModelRun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The room's starting temperature: the model's, or the site's value of the
// internal probe.
double initialTemperatureC(const ModelSpec& definition, const ModelPorts& ports,
                           const SiteStore& store) {
  if (definition.initialC) {
    return *definition.initialC;
  }
  return ports.internalInputs.empty() ? 0.0 : store.at(ports.internalInputs.front()).value;
}

OutputState outputsOf(const ModelPorts& ports, const SiteStore& store) {
  OutputState outputs;
  for (int unit = 0; unit < 2; ++unit) {
    outputs.airconOn[unit] =
        ports.aircon[unit] && store.at(*ports.aircon[unit]).state == OBJ_IO_STATE_SET;
  }
  if (ports.fan) {
    // The physics takes 0 to 100 percent; a NaN (a client's mistake) is off.
    const double percent = store.at(*ports.fan).value;
    outputs.fanFraction = std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0) / 100.0;
  }
  return outputs;
}

}  // namespace

ModelRun::ModelRun(const ModelSpec& definition, const ModelPorts& ports, SiteStore& store,
                   Simulator& simulator, LineSink& out, ClientHub& hub, CsvRecorder* csv,
                   std::function<bool()> clientConnected)
    : mSpec(definition),
      mPorts(ports),
      mStore(store),
      mSimulator(simulator),
      mOut(out),
      mHub(hub),
      mCsv(csv),
      mClientConnected(std::move(clientConnected)),
      mFanConductanceWPerK(definition.fan ? airflowConductanceWPerK(definition.fan->airflowM3PerH)
                                          : 0.0),
      mRoom(RoomParameters{definition.heatCapacityJPerK, definition.wallConductanceWPerK},
            initialTemperatureC(definition, ports, store)),
      // One seed each, so that adding noise to one probe's readings does
      // not shift the other's.
      mInternalProbe(definition.resolutionC, definition.noiseC, definition.seed),
      mExternalProbe(definition.resolutionC, definition.noiseC, definition.seed + 1u),
      mStatistics(mSpec, mRoom.temperatureC(), definition.outside.at(definition.startClockS),
                  outputsOf(ports, store)) {
  for (const AirconSpec& aircon : mSpec.aircons) {
    mFaults.airconFailed[aircon.number - 1] = aircon.failed;
  }
  publish(mPorts.internalInputs, mInternalProbe.read(mRoom.temperatureC()), false);
  publish(mPorts.externalInputs, mExternalProbe.read(mSpec.outside.at(clockS())), false);
  record(outputsOf(mPorts, mStore));
  mSimulator.setAirconFaults(this);
}

ModelRun::~ModelRun() {
  mSimulator.setAirconFaults(nullptr);
}

bool ModelRun::setAirconFailed(const std::string& label, bool failed) {
  for (const AirconSpec& aircon : mSpec.aircons) {
    if (aircon.label == label) {
      mFaults.airconFailed[aircon.number - 1] = failed;
      return true;
    }
  }
  return false;
}

std::chrono::duration<double> ModelRun::tickPeriod() const {
  return std::chrono::duration<double>(mSpec.stepS / mSpec.factor);
}

void ModelRun::tick() {
  if (mFinished || complete()) {
    return;
  }
  if (!mStarted) {
    if (mClientConnected && !mClientConnected()) {
      return;
    }
    mStarted = true;
  }
  step();
  if (complete()) {
    finish();
    mHub.requestStop();
  }
}

void ModelRun::step() {
  const OutputState outputs = outputsOf(mPorts, mStore);
  // Clock-driven inputs are taken at the middle of the step: for inputs
  // that change slowly over a step that is the most faithful constant.
  const double middleS = clockS() + mSpec.stepS / 2.0;
  RoomInputs inputs;
  inputs.outsideC = mSpec.outside.at(middleS);
  inputs.loadW = mSpec.loadW.at(middleS);
  for (const AirconSpec& aircon : mSpec.aircons) {
    const int unit = aircon.number - 1;
    if (outputs.airconOn[unit] && !mFaults.airconFailed[unit]) {
      inputs.coolingW += aircon.coolingW;
    }
  }
  inputs.ventilationWPerK = mFanConductanceWPerK * outputs.fanFraction;
  const StepCurve curve = mRoom.advance(inputs, mSpec.stepS);
  mStatistics.addStep(curve, inputs.outsideC, outputs, mFaults);
  ++mSteps;

  publish(mPorts.internalInputs, mInternalProbe.read(mRoom.temperatureC()), true);
  publish(mPorts.externalInputs, mExternalProbe.read(mSpec.outside.at(clockS())), true);
  mLastOutputs = outputs;
  if (mSteps % mSpec.stepsPerRecord() == 0) {
    record(outputs);
  }
}

void ModelRun::publish(const std::vector<std::size_t>& inputs, float reading, bool push) {
  for (std::size_t index : inputs) {
    if (!push) {
      mStore.at(index).value = reading;
    } else if (!sameAnalogueValue(mStore.at(index).value, reading)) {
      // Compared with the stored value, so that a value typed on the console
      // is put right at the next step, as the real probe would.
      mSimulator.setAnalogueInput(index, reading);
    }
  }
}

void ModelRun::record(const OutputState& outputs) {
  if (!mCsv) {
    return;
  }
  CsvRow row;
  row.timeS = simulatedS();
  row.clockS = clockS();
  row.internalC = mRoom.temperatureC();
  row.externalC = mSpec.outside.at(row.clockS);
  row.airconOn[0] = outputs.airconOn[0];
  row.airconOn[1] = outputs.airconOn[1];
  row.fanPercent = outputs.fanFraction * 100.0;
  row.loadW = mSpec.loadW.at(row.clockS);
  mCsv->write(row);
}

bool ModelRun::finish() {
  if (mFinished) {
    return mFinishResult;
  }
  mFinished = true;
  // The end of a run that is not on a recording interval gets a row too.
  if (mSteps % mSpec.stepsPerRecord() != 0) {
    record(mLastOutputs);
  }
  std::string error;
  if (mCsv && !mCsv->close(error)) {
    mFinishResult = false;
  }
  for (const std::string& line :
       mStatistics.summaryLines(mCsv ? mCsv->path() : "", mCsv ? mCsv->rows() : 0)) {
    mOut.line(line);
  }
  if (!mFinishResult) {
    std::fprintf(stderr, "vulosim: %s\n", error.c_str());
  }
  return mFinishResult;
}
