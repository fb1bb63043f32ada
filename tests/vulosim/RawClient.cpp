#include "RawClient.h"
#include "Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

RawClient::~RawClient() {
  close();
}

bool RawClient::connect(int port) {
  close();
  mFd = connectLoopback(port);
  return mFd >= 0;
}

void RawClient::close() {
  if (mFd >= 0) {
    ::close(mFd);
    mFd = -1;
  }
  mAssembler.clear();
  mPushes.clear();
}

bool RawClient::sendBytes(const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (mFd >= 0 && sent < bytes.size()) {
    ssize_t n = ::send(mFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) {
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return mFd >= 0;
}

std::size_t RawClient::sendWithoutWaiting(const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (mFd >= 0 && sent < bytes.size()) {
    ssize_t n = ::send(mFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) {
      break;
    }
    sent += static_cast<std::size_t>(n);
  }
  return sent;
}

bool RawClient::send(const vulowire::Frame& frame) {
  std::vector<uint8_t> bytes;
  return vulowire::encodeFrame(frame, bytes) && sendBytes(bytes);
}

RawClient::Read RawClient::readFrame(vulowire::Frame& out, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    switch (mAssembler.next(out)) {
      case vulowire::DecodeStatus::Ok:
        return Read::Frame;
      case vulowire::DecodeStatus::Malformed:
        return Read::Malformed;
      case vulowire::DecodeStatus::NeedMore:
        break;
    }
    if (mFd < 0) {
      return Read::Closed;
    }
    pollfd pfd{mFd, POLLIN, 0};
    if (::poll(&pfd, 1, remainingMs(deadline)) <= 0) {
      return Read::Timeout;
    }
    uint8_t buffer[4096];
    ssize_t n = ::recv(mFd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      return Read::Closed;
    }
    mAssembler.append(buffer, static_cast<std::size_t>(n));
  }
}

std::optional<vulowire::Frame> RawClient::request(vulowire::Frame& frame) {
  frame.requestId = ++mLastRequestId;
  if (!send(frame)) {
    return std::nullopt;
  }
  for (;;) {
    vulowire::Frame got;
    if (readFrame(got, 5000) != Read::Frame) {
      return std::nullopt;
    }
    if (got.kind == vulowire::FrameKind::Push) {
      mPushes.push_back(std::move(got));
    } else if (got.requestId == frame.requestId) {
      return got;
    }
  }
}

std::optional<vulowire::Frame> RawClient::query(const std::string& label, ePortType type) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::QueryRequest;
  auto example = std::make_unique<cObjectPort>();
  example->setPortLabel(label.c_str());
  example->setPortType(type);
  frame.objects.push_back(std::move(example));
  return request(frame);
}

std::optional<vulowire::Frame> RawClient::fetch(const cObjectPort& example) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::FetchRequest;
  frame.objects.emplace_back(example.clone());
  return request(frame);
}

bool RawClient::set(const cObject& output) {
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::SetRequest;
  frame.objects.emplace_back(output.clone());
  return send(frame);
}

std::optional<vulowire::Frame> RawClient::nextPush(int timeoutMs) {
  if (mPushes.empty()) {
    vulowire::Frame got;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (mPushes.empty()) {
      if (readFrame(got, remainingMs(deadline)) != Read::Frame) {
        return std::nullopt;
      }
      if (got.kind == vulowire::FrameKind::Push) {
        mPushes.push_back(std::move(got));
      }
    }
  }
  vulowire::Frame push = std::move(mPushes.front());
  mPushes.pop_front();
  return push;
}

RawClient::Ending RawClient::waitForEnd(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    vulowire::Frame got;
    switch (readFrame(got, remainingMs(deadline))) {
      case Read::Frame:
        if (got.kind == vulowire::FrameKind::Push) {
          mPushes.push_back(std::move(got));
        }
        break;
      case Read::Closed:
        return Ending::Closed;
      case Read::Malformed:
        return Ending::Malformed;
      case Read::Timeout:
        return Ending::Timeout;
    }
  }
}
