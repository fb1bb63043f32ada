#include "Transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;

void warn(const std::string& text) {
  std::fprintf(stderr, "vulosim: %s\n", text.c_str());
}

}  // namespace

Transport::Transport(const Limits& limits)
    : mLimits(limits), mConsole(limits.maxConsoleLineBytes) {}

Transport::~Transport() {
  for (auto& client : mClients) {
    if (client->fd >= 0) {
      ::close(client->fd);
    }
  }
  if (mListenFd >= 0) {
    ::close(mListenFd);
  }
}

bool Transport::listen(uint16_t port, std::string& error) {
  mListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (mListenFd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  int yes = 1;
  ::setsockopt(mListenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(mListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  if (::listen(mListenFd, 16) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    return false;
  }
  socklen_t length = sizeof address;
  if (::getsockname(mListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    error = std::string("getsockname: ") + std::strerror(errno);
    return false;
  }
  mPort = ntohs(address.sin_port);
  return true;
}

void Transport::setPeriodicTask(PeriodicTask* task, std::chrono::duration<double> period) {
  mTask = period.count() > 0.0 ? task : nullptr;
  mTickPeriod = period;
}

void Transport::run(HubEvents& events, int consoleFd, int stopFd) {
  mEvents = &events;
  mConsoleFd = consoleFd;
  mStopRequested = false;
  mTicksStart = std::chrono::steady_clock::now();
  mTicksDone = 0;
  struct timespec timeoutStorage {};
  std::vector<pollfd> fds;
  std::vector<Client*> polledClients;
  while (!mStopRequested) {
    fds.clear();
    polledClients.clear();
    fds.push_back({stopFd, POLLIN, 0});
    fds.push_back({mListenFd, POLLIN, 0});
    fds.push_back({mConsoleFd, POLLIN, 0});  // poll() skips a negative fd
    for (auto& client : mClients) {
      short events = 0;
      if (client->unsent() <= mLimits.pauseReadingAboveBytes) {
        events |= POLLIN;
      }
      if (client->unsent() > 0) {
        events |= POLLOUT;
      }
      fds.push_back({client->fd, events, 0});
      polledClients.push_back(client.get());
    }
    if (::ppoll(fds.data(), fds.size(), pollTimeout(timeoutStorage), nullptr) < 0) {
      if (errno == EINTR) {
        continue;
      }
      warn(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (fds[0].revents) {
      break;
    }
    if (fds[1].revents & POLLIN) {
      acceptClients();
    }
    if (fds[2].revents) {
      readConsole();
    }
    for (std::size_t i = 0; i < polledClients.size() && !mStopRequested; ++i) {
      Client& client = *polledClients[i];
      const short revents = fds[3 + i].revents;
      if (client.fd >= 0 && (revents & POLLOUT)) {
        flush(client);
      }
      if (client.fd >= 0 && (revents & (POLLIN | POLLHUP | POLLERR))) {
        readClient(client);
      }
      if (client.fd >= 0 && (revents & POLLNVAL)) {
        closeClient(client, "invalid descriptor");
      }
    }
    removeClosedClients();
    runDueTicks();
  }
  mEvents = nullptr;
}

// The deadline of tick n is start + n * period, computed afresh each time,
// so neither rounding nor late wake-ups accumulate into a drifting clock.
std::chrono::steady_clock::time_point Transport::nextTickDeadline() const {
  return mTicksStart + std::chrono::duration_cast<std::chrono::nanoseconds>(
                           mTickPeriod * static_cast<double>(mTicksDone + 1));
}

// When the process falls behind (a busy machine, a stopped process), the
// due ticks run back to back, at most maxTicksBetweenPolls of them before
// the sockets are served again: the simulated clock keeps its pace and
// catches up instead of slowing down.
void Transport::runDueTicks() {
  if (!mTask) {
    return;
  }
  for (std::size_t burst = 0; burst < mLimits.maxTicksBetweenPolls && !mStopRequested; ++burst) {
    if (std::chrono::steady_clock::now() < nextTickDeadline()) {
      return;
    }
    ++mTicksDone;
    mTask->tick();
  }
}

const struct timespec* Transport::pollTimeout(struct timespec& storage) const {
  if (!mTask) {
    return nullptr;
  }
  const auto left = std::max(std::chrono::steady_clock::duration::zero(),
                             nextTickDeadline() - std::chrono::steady_clock::now());
  const auto leftNs = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
  storage.tv_sec = static_cast<time_t>(leftNs / 1000000000);
  storage.tv_nsec = static_cast<long>(leftNs % 1000000000);
  return &storage;
}

void Transport::acceptClients() {
  for (;;) {
    int fd = ::accept4(mListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED) {
        warn(std::string("accept: ") + std::strerror(errno));
      }
      if (errno == EINTR || errno == ECONNABORTED) {
        continue;
      }
      return;
    }
    if (connectedCount() >= mLimits.maxClients) {
      warn("refused a client: " + std::to_string(mLimits.maxClients) + " already connected");
      ::close(fd);
      continue;
    }
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    auto client = std::make_unique<Client>();
    client->fd = fd;
    mClients.push_back(std::move(client));
    mEvents->clientsChanged(connectedCount(), true);
  }
}

void Transport::readConsole() {
  char buffer[4096];
  ssize_t n = ::read(mConsoleFd, buffer, sizeof buffer);
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
    return;
  }
  auto deliver = [this](const std::string& line, bool tooLong) {
    if (mStopRequested) {
      return;  // nothing after quit
    }
    if (tooLong) {
      mEvents->consoleLineTooLong();
    } else {
      mEvents->consoleLine(line);
    }
  };
  if (n <= 0) {
    // End of input (or an unreadable one): serving goes on without a console.
    mConsole.finish(deliver);
    mConsoleFd = -1;
    return;
  }
  mConsole.feed(buffer, static_cast<std::size_t>(n), deliver);
}

void Transport::readClient(Client& client) {
  uint8_t buffer[kReadChunkBytes];
  ssize_t n = ::recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      closeClient(client, std::string("receive failed: ") + std::strerror(errno));
    }
    return;
  }
  if (n == 0) {
    closeClient(client, "");
    return;
  }
  client.assembler.append(buffer, static_cast<std::size_t>(n));
  for (;;) {
    vulowire::Frame frame;
    std::string error;
    vulowire::DecodeStatus status = client.assembler.next(frame, &error);
    if (status == vulowire::DecodeStatus::NeedMore) {
      break;
    }
    if (status == vulowire::DecodeStatus::Malformed) {
      closeClient(client, "malformed frame: " + error);
      return;
    }
    std::vector<uint8_t> reply;
    std::string why;
    if (!mEvents->clientFrame(frame, reply, why)) {
      closeClient(client, why);
      return;
    }
    sendTo(client, reply.data(), reply.size());
    if (client.fd < 0 || mStopRequested) {
      return;
    }
  }
  // The codec refuses an over-long frame as soon as its length is known, so
  // this only guards against a codec that does not.
  if (client.assembler.buffered() > vulowire::kMaxFrameBytes) {
    closeClient(client, "incomplete frame larger than the frame limit");
  }
}

void Transport::sendTo(Client& client, const uint8_t* data, std::size_t size) {
  if (client.fd < 0 || size == 0) {
    return;
  }
  if (client.unsent() + size > mLimits.maxPendingBytes) {
    closeClient(client, "it does not read what is sent to it");
    return;
  }
  client.pending.insert(client.pending.end(), data, data + size);
  flush(client);
}

void Transport::flush(Client& client) {
  while (client.fd >= 0 && client.unsent() > 0) {
    ssize_t n = ::send(client.fd, client.pending.data() + client.pendingSent, client.unsent(),
                       MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        closeClient(client, std::string("send failed: ") + std::strerror(errno));
      }
      break;
    }
    client.pendingSent += static_cast<std::size_t>(n);
  }
  if (client.unsent() == 0) {
    client.pending.clear();
    client.pendingSent = 0;
  }
}

void Transport::sendToAll(const std::vector<uint8_t>& bytes) {
  for (auto& client : mClients) {
    sendTo(*client, bytes.data(), bytes.size());
  }
}

void Transport::dropAllClients() {
  for (auto& client : mClients) {
    if (client->fd >= 0) {
      closeClient(*client, "");
    }
  }
}

void Transport::closeClient(Client& client, const std::string& why) {
  if (client.fd < 0) {
    return;
  }
  ::close(client.fd);
  client.fd = -1;
  client.pending.clear();
  client.pendingSent = 0;
  client.assembler.clear();
  if (!why.empty()) {
    warn("dropped a client: " + why);
  }
  mEvents->clientsChanged(connectedCount(), false);
}

std::size_t Transport::connectedCount() const {
  return static_cast<std::size_t>(std::count_if(
      mClients.begin(), mClients.end(), [](const auto& client) { return client->fd >= 0; }));
}

void Transport::removeClosedClients() {
  mClients.erase(std::remove_if(mClients.begin(), mClients.end(),
                                [](const auto& client) { return client->fd < 0; }),
                 mClients.end());
}
