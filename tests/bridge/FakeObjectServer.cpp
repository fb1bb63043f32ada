#include "FakeObjectServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "cObjectList.h"

namespace {

// How often a blocking wait looks at the stop flag.
constexpr int kStopCheckSliceMs = 20;

bool sendAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::vector<uint8_t> trendPush(uint32_t seq, uint32_t serial, uint32_t portId, float value) {
  vulowire::Frame push;
  push.kind = vulowire::FrameKind::Push;
  push.msgType = MSG_EVT;
  auto trend = std::make_unique<cObjectTrend>();
  trend->setTrendSeqNum(seq);
  trend->setDeviceSerial(serial);
  trend->setPortId(portId);
  trend->setCalculatedValue(value);
  push.objects.push_back(std::move(trend));
  std::vector<uint8_t> bytes;
  vulowire::encodeFrame(push, bytes);
  return bytes;
}

}  // namespace

FakeObjectServer::FakeObjectServer(Handler handler, bool keepPushingTrends)
    : mHandler(std::move(handler)), mKeepPushingTrends(keepPushingTrends) {
  mListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (mListenFd < 0 || ::bind(mListenFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(mListenFd, 4) != 0 ||
      ::getsockname(mListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return;
  }
  mPort = ntohs(address.sin_port);
  mThread = std::thread([this] { run(); });
}

FakeObjectServer::~FakeObjectServer() {
  mStopping.store(true);
  if (mThread.joinable()) {
    mThread.join();
  }
  if (mListenFd >= 0) {
    ::close(mListenFd);
  }
}

void FakeObjectServer::run() {
  while (!mStopping.load()) {
    pollfd waitFor{mListenFd, POLLIN, 0};
    if (::poll(&waitFor, 1, kStopCheckSliceMs) <= 0) {
      continue;
    }
    int clientFd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (clientFd >= 0) {
      mServedFd = clientFd;
      serve(clientFd);
      mServedFd = -1;
      ::close(clientFd);
    }
  }
}

bool FakeObjectServer::pushTrendNow(uint32_t serial, uint32_t portId, float value, uint32_t seq) {
  return mServedFd >= 0 && sendAll(mServedFd, trendPush(seq, serial, portId, value));
}

void FakeObjectServer::serve(int clientFd) {
  vulowire::FrameAssembler assembler;
  uint32_t trendSeq = 1;
  while (!mStopping.load()) {
    // The endless trends are for serial 7, port 1, valued by their number.
    if (mKeepPushingTrends &&
        sendAll(clientFd, trendPush(trendSeq, 7, 1, static_cast<float>(trendSeq)))) {
      ++trendSeq;
    }
    pollfd waitFor{clientFd, POLLIN, 0};
    int ready = ::poll(&waitFor, 1, mKeepPushingTrends ? 0 : kStopCheckSliceMs);
    if (ready <= 0) {
      continue;
    }
    uint8_t buffer[4096];
    ssize_t n = ::recv(clientFd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      return;  // the client went away
    }
    assembler.append(buffer, static_cast<std::size_t>(n));
    vulowire::Frame request;
    vulowire::DecodeStatus status;
    while ((status = assembler.next(request)) == vulowire::DecodeStatus::Ok) {
      vulowire::Frame reply;
      if (request.kind == vulowire::FrameKind::QueryRequest) {
        reply.kind = vulowire::FrameKind::QueryReply;
      } else if (request.kind == vulowire::FrameKind::FetchRequest) {
        reply.kind = vulowire::FrameKind::FetchReply;
        ++mFetches;
      } else {
        continue;  // sets get no reply
      }
      mHandler(request, reply);
      reply.requestId = request.requestId;
      std::vector<uint8_t> bytes;
      if (!vulowire::encodeFrame(reply, bytes) || !sendAll(clientFd, bytes)) {
        return;
      }
    }
    if (status == vulowire::DecodeStatus::Malformed) {
      return;
    }
  }
}
