#include "Simulator.h"

#include <cstdio>
#include <iterator>

#include "cObjectList.h"

std::vector<uint8_t> invalidFrameBytes() {
  // An all-ones length prefix is far beyond kMaxFrameBytes whatever the
  // byte order, so a decoder rejects it as soon as the prefix is in; the
  // text after it is for a human reading a capture.
  static const uint8_t kBytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 'v', 'u', 'l', 'o', 's', 'i',
                                   'm',  ' ',  'g',  'a',  'r', 'b', 'a', 'g', 'e', '\n'};
  return std::vector<uint8_t>(std::begin(kBytes), std::end(kBytes));
}

Simulator::Simulator(SiteStore& store, LineSink& out, ClientHub& clients, bool logAllSets)
    : mStore(store), mOut(out), mClients(clients), mRequests(store, out, logAllSets) {}

void Simulator::consoleLine(std::string_view line) {
  CommandParse parsed = parseCommand(line);
  if (parsed.command) {
    execute(*parsed.command);
  } else if (!parsed.error.empty()) {
    mOut.line("error " + parsed.error);
  }
}

void Simulator::consoleLineTooLong() {
  mOut.line("error line too long");
}

void Simulator::execute(const Command& command) {
  switch (command.kind) {
    case Command::Kind::Ain:
      setAnalogueInputsByLabel(command, std::nullopt);
      break;
    case Command::Kind::Trend:
      setAnalogueInputsByLabel(command, command.trendSeqNum);
      break;
    case Command::Kind::Get:
      printPort(command.label);
      break;
    case Command::Kind::Count:
      printSetCount(command.label);
      break;
    case Command::Kind::Freeze:
    case Command::Kind::Thaw:
      setInputsFrozen(command.label, command.kind == Command::Kind::Freeze);
      break;
    case Command::Kind::Fail:
    case Command::Kind::Repair:
      setAirconFailed(command.label, command.kind == Command::Kind::Fail);
      break;
    case Command::Kind::Drop:
      mClients.dropAllClients();
      break;
    case Command::Kind::Garbage:
      mClients.sendToAll(invalidFrameBytes());
      break;
    case Command::Kind::Quit:
      mClients.requestStop();
      break;
  }
}

bool Simulator::clientFrame(const vulowire::Frame& request, std::vector<uint8_t>& replyBytes,
                            std::string& why) {
  vulowire::Frame reply;
  switch (mRequests.handle(request, reply, why)) {
    case RequestHandler::Verdict::Reject:
      return false;
    case RequestHandler::Verdict::NoReply:
      return true;
    case RequestHandler::Verdict::Reply:
      break;
  }
  if (!vulowire::encodeFrame(reply, replyBytes)) {
    // Only a site with very many ports under one label gets here; an empty
    // answer at once beats a client waiting for its time-out.
    std::fprintf(stderr, "vulosim: reply of %zu objects exceeds the frame limit; sent empty\n",
                 reply.objects.size());
    reply.objects.clear();
    vulowire::encodeFrame(reply, replyBytes);
  }
  return true;
}

void Simulator::clientsChanged(std::size_t connectedNow, bool joined) {
  mOut.line((joined ? "connected " : "disconnected ") + std::to_string(connectedNow));
}

uint32_t Simulator::takeTrendSeqNum() {
  uint32_t taken = mNextTrendSeqNum++;
  if (mNextTrendSeqNum == 0) {
    mNextTrendSeqNum = 1;
  }
  return taken;
}

void Simulator::setAnalogueInput(std::size_t portIndex, float value,
                                 std::optional<uint32_t> trendSeqNum) {
  SitePort& port = mStore.at(portIndex);
  port.value = value;
  if (!port.frozenValue) {
    pushTrend(port, trendSeqNum ? *trendSeqNum : takeTrendSeqNum());
  }
}

void Simulator::pushTrend(const SitePort& input, uint32_t trendSeqNum) {
  auto trend = std::make_unique<cObjectTrend>();
  trend->setTrendSeqNum(trendSeqNum);
  trend->setDeviceSerial(input.deviceSerial);
  trend->setPortId(input.portId);
  trend->setCalculatedValue(input.value);

  vulowire::Frame push;
  push.kind = vulowire::FrameKind::Push;
  push.msgType = MSG_EVT;
  push.seqNum = mPushSeqNum++;
  push.eventFlag = true;
  push.objects.push_back(std::move(trend));
  std::vector<uint8_t> bytes;
  if (vulowire::encodeFrame(push, bytes)) {
    mClients.sendToAll(bytes);
  }
}

std::vector<std::size_t> Simulator::analogueInputsLabelled(const std::string& label) {
  std::vector<std::size_t> inputs = mStore.indicesOf(label, PORT_TYPE_ANALOG_IN);
  if (inputs.empty()) {
    // "none" like get and count when the label is unknown; an error when it
    // names only ports that are not analogue inputs.
    if (mStore.findFirstByLabel(label)) {
      mOut.line("error no analogue input is labelled " + label);
    } else {
      mOut.line("none " + label);
    }
  }
  return inputs;
}

void Simulator::setAnalogueInputsByLabel(const Command& command,
                                         std::optional<uint32_t> trendSeqNum) {
  for (std::size_t index : analogueInputsLabelled(command.label)) {
    setAnalogueInput(index, command.value, trendSeqNum);
  }
}

void Simulator::setInputsFrozen(const std::string& label, bool frozen) {
  for (std::size_t index : analogueInputsLabelled(label)) {
    SitePort& input = mStore.at(index);
    if (frozen && !input.frozenValue) {
      input.frozenValue = input.value;
    } else if (!frozen && input.frozenValue) {
      input.frozenValue.reset();
      // At once, as a probe that comes back reports what it reads now.
      pushTrend(input, takeTrendSeqNum());
    }
  }
}

void Simulator::setAirconFailed(const std::string& label, bool failed) {
  if (!mStore.findFirstByLabel(label)) {
    mOut.line("none " + label);
  } else if (!mAirconFaults) {
    mOut.line("error no room model is running (--model)");
  } else if (!mAirconFaults->setAirconFailed(label, failed)) {
    mOut.line("error no air conditioner of the room model is labelled " + label);
  }
}

void Simulator::printPort(const std::string& label) {
  const SitePort* port = mStore.findFirstByLabel(label);
  if (!port) {
    mOut.line("none " + label);
  } else if (isAnaloguePort(port->type)) {
    mOut.line("value " + label + " " + formatNumber(port->servedValue()));
  } else {
    mOut.line("state " + label + " " + ioStateName(port->state));
  }
}

void Simulator::printSetCount(const std::string& label) {
  const SitePort* port = mStore.findFirstByLabel(label);
  if (!port) {
    mOut.line("none " + label);
  } else {
    mOut.line("count " + label + " " + std::to_string(port->setRequestCount));
  }
}
