#include "RequestHandler.h"

#include <cstdio>
#include <vector>

using vulowire::Frame;
using vulowire::FrameKind;

namespace {

void warn(const std::string& text) {
  std::fprintf(stderr, "vulosim: %s\n", text.c_str());
}

std::string portName(uint32_t serial, uint32_t id) {
  return "device " + std::to_string(serial) + " port " + std::to_string(id);
}

// Replies carry the request's id; the message header fields are for pushes
// and stay 0.
void startReply(const Frame& request, FrameKind kind, Frame& reply) {
  reply = Frame();
  reply.kind = kind;
  reply.requestId = request.requestId;
}

}  // namespace

namespace {

// A new port object of `PortClass` holding `value` through `set`.
template <typename PortClass, typename Value>
std::unique_ptr<cObjectPort> portHolding(void (PortClass::*set)(Value), Value value) {
  auto port = std::make_unique<PortClass>();
  ((*port).*set)(value);
  return port;
}

}  // namespace

std::unique_ptr<cObject> makePortObject(const SitePort& port) {
  std::unique_ptr<cObjectPort> object =
      port.type == PORT_TYPE_ANALOG_IN
          ? portHolding(&cObjectAInput::setCalculatedValue, port.servedValue())
      : port.type == PORT_TYPE_ANALOG_OUT ? portHolding(&cObjectAOutput::setOutputValue, port.value)
      : port.type == PORT_TYPE_DISCRETE_IN ? portHolding(&cObjectDInput::setInputState, port.state)
      : port.type == PORT_TYPE_DISCRETE_OUT
          ? portHolding(&cObjectDOutput::setOutputState, port.state)
          : std::make_unique<cObjectPort>();
  object->setDeviceSerial(port.deviceSerial);
  object->setPortId(port.portId);
  object->setPortLabel(port.label.c_str());
  object->setPortType(port.type);
  return object;
}

RequestHandler::Verdict RequestHandler::handle(const Frame& request, Frame& reply,
                                               std::string& why) {
  switch (request.kind) {
    case FrameKind::QueryRequest:
      query(request, reply);
      return Verdict::Reply;
    case FrameKind::FetchRequest:
      fetch(request, reply);
      return Verdict::Reply;
    case FrameKind::SetRequest:
      for (const auto& object : request.objects) {
        if (object) {
          applySet(*object);
        }
      }
      return Verdict::NoReply;
    case FrameKind::Push:
    case FrameKind::QueryReply:
    case FrameKind::FetchReply:
      break;
  }
  why = "a client sent a frame of kind " + std::to_string(static_cast<int>(request.kind)) +
        ", which only the server sends";
  return Verdict::Reject;
}

// Each example object (a port with a type and a label) selects the ports
// with that label and type (PORT_TYPE_NONE: any type). The reply lists every
// selected port once, in site-file order.
void RequestHandler::query(const Frame& request, Frame& reply) {
  startReply(request, FrameKind::QueryReply, reply);
  std::vector<bool> selected(mStore.size(), false);
  for (const auto& object : request.objects) {
    const auto* example = dynamic_cast<const cObjectPort*>(object.get());
    if (!example) {
      continue;
    }
    for (std::size_t index : mStore.indicesOf(example->getPortLabel(), example->getPortType())) {
      selected[index] = true;
    }
  }
  for (std::size_t i = 0; i < mStore.size(); ++i) {
    if (selected[i]) {
      reply.objects.push_back(makePortObject(mStore.at(i)));
    }
  }
}

// The first port object of the request names the port by serial and id; the
// reply holds that port's current object, or nothing when there is no such
// port.
void RequestHandler::fetch(const Frame& request, Frame& reply) {
  startReply(request, FrameKind::FetchReply, reply);
  for (const auto& object : request.objects) {
    if (const auto* wanted = dynamic_cast<const cObjectPort*>(object.get())) {
      if (const SitePort* port =
              mStore.findByAddress(wanted->getDeviceSerial(), wanted->getPortId())) {
        reply.objects.push_back(makePortObject(*port));
      }
      return;
    }
  }
}

void RequestHandler::applySet(const cObject& object) {
  const auto* target = dynamic_cast<const cObjectPort*>(&object);
  if (!target) {
    warn("set ignored: object of type " + std::to_string(object.getType()) + " is not a port");
    return;
  }
  const std::string name = portName(target->getDeviceSerial(), target->getPortId());
  SitePort* port = mStore.findByAddress(target->getDeviceSerial(), target->getPortId());
  if (!port) {
    warn("set ignored: no " + name);
    return;
  }
  ++port->setRequestCount;

  if (const auto* dout = dynamic_cast<const cObjectDOutput*>(target)) {
    const eObjectIOState state = dout->getOutputState();
    if (port->type != PORT_TYPE_DISCRETE_OUT) {
      warn("set ignored: " + name + " is " + portTypeName(port->type) + ", not dout");
      return;
    }
    if (state != OBJ_IO_STATE_UNKNOWN && state != OBJ_IO_STATE_SET && state != OBJ_IO_STATE_CLEAR) {
      warn("set ignored: invalid output state " + std::to_string(state) + " for " + name);
      return;
    }
    const bool changed = port->state != state;
    port->state = state;
    reportSet(*port, changed);
  } else if (const auto* aout = dynamic_cast<const cObjectAOutput*>(target)) {
    if (port->type != PORT_TYPE_ANALOG_OUT) {
      warn("set ignored: " + name + " is " + portTypeName(port->type) + ", not aout");
      return;
    }
    const float value = aout->getOutputValue();
    const bool changed = !sameAnalogueValue(port->value, value);
    port->value = value;
    reportSet(*port, changed);
  } else {
    warn("set ignored: object of type " + std::to_string(object.getType()) + " for " + name +
         " is not an output");
  }
}

void RequestHandler::reportSet(const SitePort& port, bool changed) {
  if (!changed && !mLogAllSets) {
    return;
  }
  if (port.type == PORT_TYPE_DISCRETE_OUT) {
    mOut.line("dout " + port.label + " " + ioStateName(port.state));
  } else {
    mOut.line("aout " + port.label + " " + formatNumber(port.value));
  }
}
