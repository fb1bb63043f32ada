// The simulator's behaviour, apart from sockets: console commands, client
// requests and trend events over one site store.
#ifndef VULOSIM_SIMULATOR_H
#define VULOSIM_SIMULATOR_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "Command.h"
#include "Hub.h"
#include "LineSink.h"
#include "RequestHandler.h"
#include "SiteStore.h"
#include "vulowire.h"

// Bytes that no decoder can take for a frame: the length prefix announces
// more than the largest frame allowed.
std::vector<uint8_t> invalidFrameBytes();

// What the console may change in a running room model.
class AirconFaults {
 public:
  virtual ~AirconFaults() = default;
  // Takes away (`failed`) or gives back the cooling of the model's air
  // conditioner whose output has `label`. False when the model has none.
  virtual bool setAirconFailed(const std::string& label, bool failed) = 0;
};

class Simulator : public HubEvents {
 public:
  Simulator(SiteStore& store, LineSink& out, ClientHub& clients, bool logAllSets);

  // Runs the command or prints "error REASON".
  void consoleLine(std::string_view line) override;
  void consoleLineTooLong() override;
  bool clientFrame(const vulowire::Frame& request, std::vector<uint8_t>& replyBytes,
                   std::string& why) override;
  // Prints "connected N" or "disconnected N".
  void clientsChanged(std::size_t connectedNow, bool joined) override;

  void execute(const Command& command);

  // The room model that fail and repair act on; null (the default): there
  // is none, and they answer an error.
  void setAirconFaults(AirconFaults* model) { mAirconFaults = model; }

  // Stores a new value for the analogue input at `portIndex` in the store
  // and pushes one trend event for it to every client, numbered
  // `trendSeqNum` or, without it, by the automatic counter; a frozen input
  // only keeps the value for its thaw. Also the hook for anything that
  // drives the inputs over time.
  void setAnalogueInput(std::size_t portIndex, float value,
                        std::optional<uint32_t> trendSeqNum = std::nullopt);

 private:
  // The automatic trend sequence: 1, 2, 3, ... (0 is skipped on wrap, since
  // clients take 0 to mean "nothing seen yet").
  uint32_t takeTrendSeqNum();
  // Pushes one trend event with the input's current value.
  void pushTrend(const SitePort& input, uint32_t trendSeqNum);
  // Every analogue input with the label. When there is none, prints "none
  // LABEL" if no port has the label, an error if none of its ports is an
  // analogue input.
  std::vector<std::size_t> analogueInputsLabelled(const std::string& label);
  void setAnalogueInputsByLabel(const Command& command, std::optional<uint32_t> trendSeqNum);
  // Freezes (`frozen`) or thaws the analogue inputs with the label.
  // Freezing a frozen input keeps its first frozen value; thawing one that
  // is not frozen does nothing.
  void setInputsFrozen(const std::string& label, bool frozen);
  void setAirconFailed(const std::string& label, bool failed);
  void printPort(const std::string& label);
  void printSetCount(const std::string& label);

  SiteStore& mStore;
  LineSink& mOut;
  ClientHub& mClients;
  RequestHandler mRequests;
  AirconFaults* mAirconFaults = nullptr;
  uint32_t mNextTrendSeqNum = 1;
  // Message sequence number of the pushes (8 bits, wraps).
  uint8_t mPushSeqNum = 0;
};

#endif
