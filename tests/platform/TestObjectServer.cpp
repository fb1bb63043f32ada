#include "TestObjectServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

TestObjectServer::TestObjectServer(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return;
  }
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return;
  }
  mListenFd = fd;
  mPort = ntohs(address.sin_port);
  mThread = std::thread([this] { serve(); });
}

TestObjectServer::~TestObjectServer() {
  stop();
}

void TestObjectServer::addPort(std::unique_ptr<cObjectPort> port) {
  std::lock_guard<std::mutex> lock(mMutex);
  mPorts.push_back(std::move(port));
}

void TestObjectServer::setAnswering(bool answering) {
  std::lock_guard<std::mutex> lock(mMutex);
  mAnswering = answering;
}

bool TestObjectServer::waitForConnections(int count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return mConnections >= count; });
}

bool TestObjectServer::waitForRequests(vulowire::FrameKind kind, std::size_t count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return mRequestsByKind[static_cast<std::size_t>(kind)] >= count;
  });
}

std::vector<std::unique_ptr<cObject>> TestObjectServer::takeSets() {
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<std::unique_ptr<cObject>> out;
  out.swap(mSets);
  return out;
}

bool TestObjectServer::push(const vulowire::Frame& frame) {
  std::vector<uint8_t> bytes;
  return vulowire::encodeFrame(frame, bytes) && sendRaw(bytes);
}

bool TestObjectServer::sendRaw(const std::vector<uint8_t>& bytes) {
  // Held while writing, so the serving thread cannot close the socket under us.
  std::lock_guard<std::mutex> writeLock(mWriteMutex);
  int fd;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    fd = mClientFd;
  }
  return fd >= 0 && writeAll(fd, bytes);
}

void TestObjectServer::dropConnection() {
  std::lock_guard<std::mutex> lock(mMutex);
  if (mClientFd >= 0) {
    ::shutdown(mClientFd, SHUT_RDWR);  // the serving thread closes it
  }
}

void TestObjectServer::stop() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
    if (mClientFd >= 0) {
      ::shutdown(mClientFd, SHUT_RDWR);
    }
    if (mListenFd >= 0) {
      ::shutdown(mListenFd, SHUT_RDWR);  // wakes accept()
    }
  }
  if (mThread.joinable()) {
    mThread.join();
  }
  if (mListenFd >= 0) {
    ::close(mListenFd);
    mListenFd = -1;
  }
}

void TestObjectServer::serve() {
  for (;;) {
    int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) {
        continue;
      }
      return;
    }
    {
      std::lock_guard<std::mutex> lock(mMutex);
      if (mStopping) {
        ::close(fd);
        return;
      }
      mClientFd = fd;
      ++mConnections;
    }
    mChanged.notify_all();
    handleConnection(fd);
    {
      std::lock_guard<std::mutex> lock(mMutex);
      mClientFd = -1;
    }
    {
      std::lock_guard<std::mutex> writeLock(mWriteMutex);  // no writer left on fd
      ::close(fd);
    }
    std::lock_guard<std::mutex> lock(mMutex);
    if (mStopping) {
      return;
    }
  }
}

void TestObjectServer::handleConnection(int fd) {
  vulowire::FrameAssembler assembler;
  uint8_t chunk[4096];
  for (;;) {
    ssize_t received = ::recv(fd, chunk, sizeof chunk, 0);
    if (received < 0 && errno == EINTR) {
      continue;
    }
    if (received <= 0) {
      return;
    }
    assembler.append(chunk, static_cast<std::size_t>(received));
    vulowire::Frame frame;
    vulowire::DecodeStatus status;
    while ((status = assembler.next(frame)) == vulowire::DecodeStatus::Ok) {
      answer(fd, frame);
    }
    if (status == vulowire::DecodeStatus::Malformed) {
      return;
    }
  }
}

void TestObjectServer::answer(int fd, const vulowire::Frame& request) {
  vulowire::Frame reply;
  reply.requestId = request.requestId;
  bool answering;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    ++mRequestsByKind[static_cast<std::size_t>(request.kind)];
    answering = mAnswering;
    switch (request.kind) {
      case vulowire::FrameKind::QueryRequest:
        reply.kind = vulowire::FrameKind::QueryReply;
        for (const auto& example : request.objects) {
          auto* wanted = dynamic_cast<const cObjectPort*>(example.get());
          for (const auto& port : mPorts) {
            if (wanted != nullptr && port->getPortType() == wanted->getPortType() &&
                std::strcmp(port->getPortLabel(), wanted->getPortLabel()) == 0) {
              reply.objects.emplace_back(port->clone());
            }
          }
        }
        break;
      case vulowire::FrameKind::FetchRequest: {
        reply.kind = vulowire::FrameKind::FetchReply;
        auto* wanted = dynamic_cast<const cObjectPort*>(request.objects.front().get());
        for (const auto& port : mPorts) {
          if (wanted != nullptr && port->getDeviceSerial() == wanted->getDeviceSerial() &&
              port->getPortId() == wanted->getPortId()) {
            reply.objects.emplace_back(port->clone());
            break;
          }
        }
        break;
      }
      case vulowire::FrameKind::SetRequest:
        mSets.emplace_back(request.objects.front()->clone());
        answering = false;  // sets have no reply
        break;
      default:
        answering = false;
        break;
    }
  }
  mChanged.notify_all();
  if (answering) {
    std::vector<uint8_t> bytes;
    if (vulowire::encodeFrame(reply, bytes)) {
      std::lock_guard<std::mutex> writeLock(mWriteMutex);
      writeAll(fd, bytes);
    }
  }
}

bool TestObjectServer::writeAll(int fd, const std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) {
      continue;
    }
    if (sent <= 0) {
      return false;
    }
    done += static_cast<std::size_t>(sent);
  }
  return true;
}
