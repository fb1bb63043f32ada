#include "BenchServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include <cObjectList.h>

#include "Clock.h"

const BenchSitePort kBenchSite[kPortCount] = {
    {1001, 1, PORT_TYPE_ANALOG_IN, "t-int"},   {1001, 2, PORT_TYPE_ANALOG_IN, "t-ext"},
    {2002, 1, PORT_TYPE_DISCRETE_OUT, "ac-1"}, {2002, 2, PORT_TYPE_DISCRETE_OUT, "ac-2"},
    {2002, 3, PORT_TYPE_ANALOG_OUT, "fan"},
};

namespace {

// How often the serving thread looks at the stop flag.
constexpr int kPollSliceMs = 50;
constexpr float kInitialInternal = 20.0f;
constexpr float kInitialExternal = 15.0f;

bool sendAll(int fd, const uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

BenchServer::BenchServer() {
  resetSite();
  mFanSetTimes.reserve(1 << 16);
}

BenchServer::~BenchServer() {
  stop();
}

bool BenchServer::start() {
  mListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (mListenFd < 0) {
    return false;
  }
  int one = 1;
  ::setsockopt(mListenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(mListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(mListenFd, 8) != 0 ||
      ::getsockname(mListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(mListenFd);
    mListenFd = -1;
    return false;
  }
  mPort = ntohs(address.sin_port);
  mThread = std::thread([this] { serve(); });
  return true;
}

void BenchServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  if (mThread.joinable()) {
    mThread.join();
  }
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  if (mClientFd >= 0) {
    ::close(mClientFd);
    mClientFd = -1;
  }
  if (mListenFd >= 0) {
    ::close(mListenFd);
    mListenFd = -1;
  }
}

void BenchServer::resetSite() {
  std::lock_guard<std::mutex> lock(mMutex);
  for (int i = 0; i < kPortCount; ++i) {
    mAnalogueValue[i] = 0.0f;
    mDigitalState[i] = OBJ_IO_STATE_CLEAR;
  }
  mAnalogueValue[kInternalProbe] = kInitialInternal;
  mAnalogueValue[kExternalProbe] = kInitialExternal;
}

// ---- serving thread --------------------------------------------------------

void BenchServer::serve() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mStopping) {
        return;
      }
    }
    pollfd fds[2] = {{mListenFd, POLLIN, 0}, {mClientFd, POLLIN, 0}};
    int ready = ::poll(fds, mClientFd >= 0 ? 2 : 1, kPollSliceMs);
    if (ready <= 0) {
      continue;
    }
    if (mClientFd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      readClient();
    }
    if ((fds[0].revents & POLLIN) != 0) {
      acceptClient();
    }
  }
}

void BenchServer::acceptClient() {
  int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    return;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // The kernel's receive time of every segment.
  ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  if (mClientFd >= 0) {
    ::close(mClientFd);
  }
  mClientFd = fd;
  mFrameBytes.clear();
  std::lock_guard<std::mutex> lock(mMutex);
  ++mConnections;
  mChanged.notify_all();
}

void BenchServer::dropClient() {
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  ::close(mClientFd);
  mClientFd = -1;
  mFrameBytes.clear();
}

namespace {

constexpr std::size_t kLengthPrefixBytes = 4;

uint32_t lengthPrefix(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// The receive time carried by `message` (CLOCK_REALTIME), moved onto
// CLOCK_MONOTONIC; the time now when the kernel gave none.
int64_t receiveTimeNs(msghdr& message) {
  for (cmsghdr* control = CMSG_FIRSTHDR(&message); control != nullptr;
       control = CMSG_NXTHDR(&message, control)) {
    if (control->cmsg_level == SOL_SOCKET && control->cmsg_type == SCM_TIMESTAMPNS) {
      timespec received = {};
      std::memcpy(&received, CMSG_DATA(control), sizeof received);
      const int64_t monotonicNow = monotonicNs();
      const int64_t realtimeNow = clockNs(CLOCK_REALTIME);
      return toNs(received) - (realtimeNow - monotonicNow);
    }
  }
  return monotonicNs();
}

}  // namespace

// Reads the rest of the current frame (its length prefix first), and
// handles it once it is whole.
void BenchServer::readClient() {
  std::size_t wanted = kLengthPrefixBytes;
  if (mFrameBytes.size() >= kLengthPrefixBytes) {
    const uint32_t length = lengthPrefix(mFrameBytes);
    if (length > vulowire::kMaxFrameBytes - kLengthPrefixBytes) {
      std::fprintf(stderr, "bench server: a frame of %u bytes from the client; dropped it\n",
                   length);
      dropClient();
      return;
    }
    wanted = kLengthPrefixBytes + length;
  }
  const std::size_t have = mFrameBytes.size();
  mFrameBytes.resize(wanted);
  iovec part = {mFrameBytes.data() + have, wanted - have};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec)) * 2];
  msghdr message = {};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t received = ::recvmsg(mClientFd, &message, 0);
  if (received < 0 && errno == EINTR) {
    mFrameBytes.resize(have);
    return;
  }
  if (received <= 0) {
    dropClient();
    return;
  }
  const int64_t arrivalNs = receiveTimeNs(message);
  mFrameBytes.resize(have + static_cast<std::size_t>(received));
  if (mFrameBytes.size() < wanted || wanted == kLengthPrefixBytes) {
    return;  // the rest on the next read
  }
  vulowire::Frame frame;
  vulowire::DecodeResult result =
      vulowire::decodeFrame(mFrameBytes.data(), mFrameBytes.size(), frame);
  if (result.status != vulowire::DecodeStatus::Ok) {
    std::fprintf(stderr, "bench server: malformed frame from the client (%s); dropped it\n",
                 result.error.c_str());
    dropClient();
    return;
  }
  mFrameBytes.clear();
  handleFrame(frame, arrivalNs);
}

void BenchServer::handleFrame(vulowire::Frame& frame, int64_t arrivalNs) {
  switch (frame.kind) {
    case vulowire::FrameKind::QueryRequest:
      answerQuery(frame);
      break;
    case vulowire::FrameKind::FetchRequest:
      answerFetch(frame);
      break;
    case vulowire::FrameKind::SetRequest:
      recordSet(frame, arrivalNs);
      break;
    default:
      break;  // kinds only a server sends: ignored
  }
}

int BenchServer::findPort(uint32_t serial, uint32_t portId) const {
  for (int i = 0; i < kPortCount; ++i) {
    if (kBenchSite[i].serial == serial && kBenchSite[i].portId == portId) {
      return i;
    }
  }
  return -1;
}

// A new object of the port's own class with its current value or state.
cObject* BenchServer::portObject(int index) const {
  const BenchSitePort& site = kBenchSite[index];
  cObjectPort* port = nullptr;
  std::lock_guard<std::mutex> lock(mMutex);
  switch (site.type) {
    case PORT_TYPE_ANALOG_IN: {
      auto* input = new cObjectAInput;
      input->setCalculatedValue(mAnalogueValue[index]);
      port = input;
      break;
    }
    case PORT_TYPE_ANALOG_OUT: {
      auto* output = new cObjectAOutput;
      output->setOutputValue(mAnalogueValue[index]);
      port = output;
      break;
    }
    case PORT_TYPE_DISCRETE_OUT: {
      auto* output = new cObjectDOutput;
      output->setOutputState(mDigitalState[index]);
      port = output;
      break;
    }
    default:
      port = new cObjectPort;
      break;
  }
  port->setDeviceSerial(site.serial);
  port->setPortId(site.portId);
  port->setPortLabel(site.label);
  port->setPortType(site.type);
  return port;
}

void BenchServer::answerQuery(const vulowire::Frame& request) {
  vulowire::Frame reply;
  reply.kind = vulowire::FrameKind::QueryReply;
  reply.requestId = request.requestId;
  for (const std::unique_ptr<cObject>& object : request.objects) {
    auto* example = dynamic_cast<const cObjectPort*>(object.get());
    if (example == nullptr) {
      continue;
    }
    for (int i = 0; i < kPortCount; ++i) {
      bool typeMatches =
          example->getPortType() == PORT_TYPE_NONE || example->getPortType() == kBenchSite[i].type;
      if (typeMatches && std::strcmp(example->getPortLabel(), kBenchSite[i].label) == 0) {
        reply.objects.emplace_back(portObject(i));
      }
    }
  }
  std::vector<uint8_t> bytes;
  if (vulowire::encodeFrame(reply, bytes)) {
    sendToClient(bytes);
  }
}

void BenchServer::answerFetch(const vulowire::Frame& request) {
  vulowire::Frame reply;
  reply.kind = vulowire::FrameKind::FetchReply;
  reply.requestId = request.requestId;
  if (auto* wanted = dynamic_cast<const cObjectPort*>(request.objects.front().get())) {
    int index = findPort(wanted->getDeviceSerial(), wanted->getPortId());
    if (index >= 0) {
      reply.objects.emplace_back(portObject(index));
    }
  }
  std::vector<uint8_t> bytes;
  if (vulowire::encodeFrame(reply, bytes)) {
    sendToClient(bytes);
  }
}

void BenchServer::recordSet(const vulowire::Frame& request, int64_t arrivalNs) {
  const cObject* object = request.objects.front().get();
  std::lock_guard<std::mutex> lock(mMutex);
  if (auto* analogue = dynamic_cast<const cObjectAOutput*>(object)) {
    int index = findPort(analogue->getDeviceSerial(), analogue->getPortId());
    if (index == kFan) {
      mAnalogueValue[kFan] = analogue->getOutputValue();
      mFanSetTimes.push_back(arrivalNs);
      mChanged.notify_all();
    }
  } else if (auto* digital = dynamic_cast<const cObjectDOutput*>(object)) {
    int index = findPort(digital->getDeviceSerial(), digital->getPortId());
    if (index == kAircon1 || index == kAircon2) {
      mDigitalState[index] = digital->getOutputState();
      AirconSetArrival arrival;
      arrival.arrivalNs = arrivalNs;
      arrival.aircon = index == kAircon1 ? 1 : 2;
      arrival.state = digital->getOutputState();
      arrival.fanSetsBefore = mFanSetTimes.size();
      mAirconSets.push_back(arrival);
      mChanged.notify_all();
    }
  }
}

bool BenchServer::sendToClient(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  if (mClientFd < 0) {
    return false;
  }
  return sendAll(mClientFd, bytes.data(), bytes.size());
}

// ---- the benchmark's side --------------------------------------------------

bool BenchServer::waitForConnection(std::size_t afterConnections, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return mConnections > afterConnections; });
}

std::size_t BenchServer::connectionCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mConnections;
}

std::optional<int64_t> BenchServer::pushTrends(BenchPort probe, const std::vector<float>& values) {
  uint32_t sequence = 0;
  uint8_t messageSequence = 0;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    sequence = mTrendSequence;
    messageSequence = mMessageSequence;
    mTrendSequence += static_cast<uint32_t>(values.size()) + 1;
    mMessageSequence = static_cast<uint8_t>(mMessageSequence + values.size());
    if (!values.empty()) {
      mAnalogueValue[probe] = values.back();
    }
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(values.size() * 48);
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::Push;
  frame.msgType = MSG_EVT;
  frame.eventFlag = true;
  auto* trend = new cObjectTrend;
  frame.objects.emplace_back(trend);
  trend->setDeviceSerial(kBenchSite[probe].serial);
  trend->setPortId(kBenchSite[probe].portId);
  for (float value : values) {
    // The daemon drops a trend whose number equals the last one it took;
    // 0 is never used, so the first event is always taken.
    if (++sequence == 0) {
      ++sequence;
    }
    trend->setTrendSeqNum(sequence);
    trend->setCalculatedValue(value);
    frame.seqNum = messageSequence++;
    if (!vulowire::encodeFrame(frame, bytes)) {
      return std::nullopt;
    }
  }
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  if (mClientFd < 0) {
    return std::nullopt;
  }
  const int64_t firstByteNs = monotonicNs();
  if (!sendAll(mClientFd, bytes.data(), bytes.size())) {
    return std::nullopt;
  }
  return firstByteNs;
}

std::size_t BenchServer::fanSetCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mFanSetTimes.size();
}

std::vector<int64_t> BenchServer::fanSetTimes(std::size_t from, std::size_t to) const {
  std::lock_guard<std::mutex> lock(mMutex);
  to = std::min(to, mFanSetTimes.size());
  if (from >= to) {
    return {};
  }
  return std::vector<int64_t>(mFanSetTimes.begin() + static_cast<std::ptrdiff_t>(from),
                              mFanSetTimes.begin() + static_cast<std::ptrdiff_t>(to));
}

std::size_t BenchServer::fanSetsArrivedAfter(int64_t afterNs, std::size_t count) const {
  std::lock_guard<std::mutex> lock(mMutex);
  count = std::min(count, mFanSetTimes.size());
  std::size_t arrivedAfter = 0;
  for (std::size_t i = count; i > 0 && mFanSetTimes[i - 1] > afterNs; --i) {
    ++arrivedAfter;
  }
  return arrivedAfter;
}

bool BenchServer::waitForFanSets(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return mFanSetTimes.size() >= count; });
}

std::size_t BenchServer::airconSetCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mAirconSets.size();
}

std::optional<AirconSetArrival> BenchServer::waitForAirconSet(std::size_t from, int aircon,
                                                              eObjectIOState state,
                                                              int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  std::optional<AirconSetArrival> found;
  mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (std::size_t i = from; i < mAirconSets.size(); ++i) {
      if (mAirconSets[i].aircon == aircon && mAirconSets[i].state == state) {
        found = mAirconSets[i];
        return true;
      }
    }
    return false;
  });
  return found;
}
