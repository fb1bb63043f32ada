#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cObjectList.h"
#include "monotonicClock.h"
#include "wholeWrite.h"
#include "Loopback.h"

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
      const int64_t monotonicNow = monotonicNanoseconds();
      timespec realtime = {};
      clock_gettime(CLOCK_REALTIME, &realtime);
      return nanosecondsOf(received) - (nanosecondsOf(realtime) - monotonicNow);
    }
  }
  return monotonicNanoseconds();
}

void closeFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

float LoopbackServer::SetArrival::value() const {
  auto* output = dynamic_cast<const cObjectAOutput*>(object.get());
  return output != nullptr ? output->getOutputValue() : NAN;
}

eObjectIOState LoopbackServer::SetArrival::state() const {
  auto* output = dynamic_cast<const cObjectDOutput*>(object.get());
  return output != nullptr ? output->getOutputState() : OBJ_IO_STATE_UNKNOWN;
}

LoopbackServer::~LoopbackServer() {
  stop();
}

bool LoopbackServer::start(int port) {
  if (mThread.joinable()) {
    return false;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return false;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address = loopbackAddress(port);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(mWakePipe, O_CLOEXEC) != 0) {
    ::close(fd);
    return false;
  }
  mListenFd = fd;
  mPort = ntohs(address.sin_port);
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mSets.reserve(1 << 16);  // a benchmark's passes without reallocation
  }
  mThread = std::thread([this] { serve(); });
  return true;
}

void LoopbackServer::stop() {
  {
    // Frees a writer blocked on a client that does not read.
    std::lock_guard<std::mutex> lock(mMutex);
    if (mClientFd >= 0) {
      ::shutdown(mClientFd, SHUT_RDWR);
    }
  }
  if (mThread.joinable()) {
    char stop = 's';
    (void)!::write(mWakePipe[1], &stop, 1);
    mThread.join();
  }
  closeClient();
  closeFd(mListenFd);
  closeFd(mWakePipe[0]);
  closeFd(mWakePipe[1]);
}

// ---- the table and the script ----------------------------------------------

void LoopbackServer::addPort(std::unique_ptr<cObjectPort> port) {
  std::lock_guard<std::mutex> lock(mMutex);
  mPorts.push_back(std::move(port));
}

void LoopbackServer::removePorts() {
  std::lock_guard<std::mutex> lock(mMutex);
  mPorts.clear();
}

bool LoopbackServer::setValue(const std::string& label, float value) {
  std::lock_guard<std::mutex> lock(mMutex);
  auto* input = dynamic_cast<cObjectAInput*>(const_cast<cObjectPort*>(portLabelled(label)));
  if (input == nullptr) {
    return false;
  }
  input->setCalculatedValue(value);
  return true;
}

void LoopbackServer::script(Script script) {
  std::lock_guard<std::mutex> lock(mMutex);
  mScript = std::move(script);
}

void LoopbackServer::setAnswering(bool answering) {
  std::lock_guard<std::mutex> lock(mMutex);
  mAnswering = answering;
}

const cObjectPort* LoopbackServer::portLabelled(const std::string& label) const {
  for (const auto& port : mPorts) {
    if (label == port->getPortLabel()) {
      return port.get();
    }
  }
  return nullptr;
}

// ---- what arrived ----------------------------------------------------------

std::size_t LoopbackServer::connectionCount() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mConnections;
}

bool LoopbackServer::waitForConnections(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return mConnections >= count; });
}

std::size_t LoopbackServer::requestCount(vulowire::FrameKind kind) const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mRequestsByKind[static_cast<std::size_t>(kind)];
}

bool LoopbackServer::waitForRequests(vulowire::FrameKind kind, std::size_t count,
                                     int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return mRequestsByKind[static_cast<std::size_t>(kind)] >= count;
  });
}

std::vector<LoopbackServer::SetArrival> LoopbackServer::sets(std::size_t from) const {
  std::lock_guard<std::mutex> lock(mMutex);
  if (from >= mSets.size()) {
    return {};
  }
  return std::vector<SetArrival>(mSets.begin() + static_cast<std::ptrdiff_t>(from), mSets.end());
}

const std::vector<std::size_t>* LoopbackServer::setIndexesOf(const std::string& label) const {
  const cObjectPort* port = portLabelled(label);
  if (port == nullptr) {
    return nullptr;
  }
  auto found = mSetsByPort.find({port->getDeviceSerial(), port->getPortId()});
  return found == mSetsByPort.end() ? nullptr : &found->second;
}

std::size_t LoopbackServer::setCount(const std::string& label) const {
  std::lock_guard<std::mutex> lock(mMutex);
  const std::vector<std::size_t>* indexes = setIndexesOf(label);
  return indexes != nullptr ? indexes->size() : 0;
}

std::vector<LoopbackServer::SetArrival> LoopbackServer::setsOf(const std::string& label,
                                                               std::size_t from,
                                                               std::size_t to) const {
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<SetArrival> result;
  if (const std::vector<std::size_t>* indexes = setIndexesOf(label)) {
    for (std::size_t i = from; i < std::min(to, indexes->size()); ++i) {
      result.push_back(mSets[(*indexes)[i]]);
    }
  }
  return result;
}

bool LoopbackServer::waitForSetCount(const std::string& label, std::size_t count,
                                     int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    const std::vector<std::size_t>* indexes = setIndexesOf(label);
    return (indexes != nullptr ? indexes->size() : 0) >= count;
  });
}

std::optional<LoopbackServer::SetArrival> LoopbackServer::waitForSet(
    const std::string& label, std::size_t from, const std::function<bool(const SetArrival&)>& match,
    int timeoutMs) const {
  std::unique_lock<std::mutex> lock(mMutex);
  std::optional<SetArrival> found;
  mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    if (const std::vector<std::size_t>* indexes = setIndexesOf(label)) {
      for (std::size_t i = from; i < indexes->size(); ++i) {
        if (match(mSets[(*indexes)[i]])) {
          found = mSets[(*indexes)[i]];
          return true;
        }
      }
    }
    return false;
  });
  return found;
}

// ---- to the client ---------------------------------------------------------

bool LoopbackServer::writeToClient(const uint8_t* data, std::size_t size) {
  if (mClientFd < 0) {
    return false;
  }
  return writeWhole(data, size, [this](const uint8_t* bytes, std::size_t left) {
    return ::send(mClientFd, bytes, left, MSG_NOSIGNAL);
  });
}

bool LoopbackServer::push(const vulowire::Frame& frame) {
  std::vector<uint8_t> bytes;
  return vulowire::encodeFrame(frame, bytes) && sendRaw(bytes);
}

bool LoopbackServer::sendRaw(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  return writeToClient(bytes.data(), bytes.size());
}

std::optional<int64_t> LoopbackServer::pushTrends(const std::string& label,
                                                  const std::vector<float>& values) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::Push;
  frame.msgType = MSG_EVT;
  frame.eventFlag = true;
  auto* trend = new cObjectTrend;
  frame.objects.emplace_back(trend);
  std::vector<uint8_t> bytes;
  bytes.reserve(values.size() * 48);
  {
    std::lock_guard<std::mutex> lock(mMutex);
    auto* input = dynamic_cast<cObjectAInput*>(const_cast<cObjectPort*>(portLabelled(label)));
    if (input == nullptr) {
      return std::nullopt;
    }
    trend->setDeviceSerial(input->getDeviceSerial());
    trend->setPortId(input->getPortId());
    for (float value : values) {
      // A client drops a trend whose number equals the last one it took; 0
      // is never used, so the first event is always taken.
      if (++mTrendSequence == 0) {
        ++mTrendSequence;
      }
      trend->setTrendSeqNum(mTrendSequence);
      trend->setCalculatedValue(value);
      frame.seqNum = mMessageSequence++;
      if (!vulowire::encodeFrame(frame, bytes)) {
        return std::nullopt;
      }
    }
    if (!values.empty()) {
      input->setCalculatedValue(values.back());
    }
  }
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  const int64_t firstByteNs = monotonicNanoseconds();
  if (!writeToClient(bytes.data(), bytes.size())) {
    return std::nullopt;
  }
  return firstByteNs;
}

bool LoopbackServer::pushTrend(uint32_t serial, uint32_t portId, float value, uint32_t sequence) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::Push;
  frame.msgType = MSG_EVT;
  frame.eventFlag = true;
  auto trend = std::make_unique<cObjectTrend>();
  trend->setDeviceSerial(serial);
  trend->setPortId(portId);
  trend->setTrendSeqNum(sequence);
  trend->setCalculatedValue(value);
  frame.objects.push_back(std::move(trend));
  {
    std::lock_guard<std::mutex> lock(mMutex);
    frame.seqNum = mMessageSequence++;
  }
  return push(frame);
}

void LoopbackServer::dropConnection() {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mClientFd >= 0) {
    ::shutdown(mClientFd, SHUT_RDWR);  // the server thread closes it
  }
}

// ---- the server thread -----------------------------------------------------

void LoopbackServer::serve() {
  for (;;) {
    // Only this thread changes mClientFd: it reads it without a lock.
    const int client = mClientFd;
    pollfd fds[2] = {{mWakePipe[0], POLLIN, 0}, {client >= 0 ? client : mListenFd, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      continue;
    }
    if (fds[0].revents != 0) {
      return;
    }
    if (fds[1].revents == 0) {
      continue;
    }
    if (client >= 0) {
      readClient();
    } else {
      acceptClient();
    }
  }
}

void LoopbackServer::acceptClient() {
  int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) {
    return;
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  // The kernel's receive time of every segment.
  ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one);
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  std::lock_guard<std::mutex> lock(mMutex);
  mClientFd = fd;
  mFrameBytes.clear();
  ++mConnections;
  mChanged.notify_all();
}

void LoopbackServer::closeClient() {
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  std::lock_guard<std::mutex> lock(mMutex);
  closeFd(mClientFd);
  mFrameBytes.clear();
}

// Reads the rest of the current frame (its length prefix first), and
// handles it once it is whole. A frame that is too long or malformed ends
// the connection, as a real server would.
void LoopbackServer::readClient() {
  std::size_t wanted = kLengthPrefixBytes;
  if (mFrameBytes.size() >= kLengthPrefixBytes) {
    const uint32_t length = lengthPrefix(mFrameBytes);
    if (length == 0 || length > vulowire::kMaxFrameBytes - kLengthPrefixBytes) {
      closeClient();
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
    closeClient();
    return;
  }
  const int64_t arrivalNs = receiveTimeNs(message);
  mFrameBytes.resize(have + static_cast<std::size_t>(received));
  if (mFrameBytes.size() < wanted || wanted == kLengthPrefixBytes) {
    return;  // the rest on the next read
  }
  vulowire::Frame frame;
  if (vulowire::decodeFrame(mFrameBytes.data(), mFrameBytes.size(), frame).status !=
      vulowire::DecodeStatus::Ok) {
    closeClient();
    return;
  }
  mFrameBytes.clear();
  handleFrame(frame, arrivalNs);
}

void LoopbackServer::handleFrame(vulowire::Frame& request, int64_t arrivalNs) {
  Script script;
  bool answering = false;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mRequestsByKind[static_cast<std::size_t>(request.kind)];
    script = mScript;
    answering = mAnswering;
    mChanged.notify_all();
  }
  vulowire::Frame reply;
  switch (request.kind) {
    case vulowire::FrameKind::QueryRequest:
      reply.kind = vulowire::FrameKind::QueryReply;
      break;
    case vulowire::FrameKind::FetchRequest:
      reply.kind = vulowire::FrameKind::FetchReply;
      break;
    case vulowire::FrameKind::SetRequest:
      recordSet(request, arrivalNs);
      return;
    default:
      return;  // kinds only a server sends
  }
  if (!answering) {
    return;
  }
  if (script) {
    script(request, reply);
  } else {
    tableReply(request, reply);
  }
  reply.requestId = request.requestId;
  std::vector<uint8_t> bytes;
  if (vulowire::encodeFrame(reply, bytes)) {
    sendRaw(bytes);
  }
}

void LoopbackServer::tableReply(const vulowire::Frame& request, vulowire::Frame& reply) const {
  std::lock_guard<std::mutex> lock(mMutex);
  if (request.kind == vulowire::FrameKind::QueryRequest) {
    for (const auto& object : request.objects) {
      auto* example = dynamic_cast<const cObjectPort*>(object.get());
      if (example == nullptr) {
        continue;
      }
      for (const auto& port : mPorts) {
        const bool typeMatches = example->getPortType() == PORT_TYPE_NONE ||
                                 example->getPortType() == port->getPortType();
        if (typeMatches && std::strcmp(example->getPortLabel(), port->getPortLabel()) == 0) {
          reply.objects.emplace_back(port->clone());
        }
      }
    }
    return;
  }
  auto* wanted = request.objects.empty()
                     ? nullptr
                     : dynamic_cast<const cObjectPort*>(request.objects.front().get());
  for (const auto& port : mPorts) {
    if (wanted != nullptr && port->getDeviceSerial() == wanted->getDeviceSerial() &&
        port->getPortId() == wanted->getPortId()) {
      reply.objects.emplace_back(port->clone());
      return;
    }
  }
}

void LoopbackServer::recordSet(vulowire::Frame& request, int64_t arrivalNs) {
  SetArrival arrival;
  arrival.arrivalNs = arrivalNs;
  arrival.object = std::shared_ptr<const cObject>(std::move(request.objects.front()));
  auto* written = dynamic_cast<const cObjectPort*>(arrival.object.get());
  if (written != nullptr) {
    arrival.serial = written->getDeviceSerial();
    arrival.portId = written->getPortId();
  }
  std::lock_guard<std::mutex> lock(mMutex);
  arrival.order = mSets.size();
  if (written != nullptr) {
    for (const auto& port : mPorts) {
      if (port->getDeviceSerial() != arrival.serial || port->getPortId() != arrival.portId) {
        continue;
      }
      auto* analogue = dynamic_cast<cObjectAOutput*>(port.get());
      auto* digital = dynamic_cast<cObjectDOutput*>(port.get());
      if (analogue != nullptr && dynamic_cast<const cObjectAOutput*>(written) != nullptr) {
        analogue->setOutputValue(arrival.value());
      } else if (digital != nullptr && dynamic_cast<const cObjectDOutput*>(written) != nullptr) {
        digital->setOutputState(arrival.state());
      }
    }
    mSetsByPort[{arrival.serial, arrival.portId}].push_back(arrival.order);
  }
  mSets.push_back(std::move(arrival));
  mChanged.notify_all();
}
