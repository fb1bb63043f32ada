// TCP client of the object server.
//
// Three threads: the receiver owns the socket (connects, reconnects with a
// back-off, reads frames, hands replies to waiting get() calls and pushes to
// the delivery queue); the transmitter writes queued requests in order; the
// deliverer hands pushes to the listeners one at a time. All shared state is
// guarded by one mutex. Only the receiver opens or closes the socket, and it
// closes it only while no write is in progress, so a socket number is never
// reused under a writer.
#include "cObjectClient.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "vulowire.h"

namespace {

using Clock = std::chrono::steady_clock;

// A connection attempt that has not completed by then is abandoned.
constexpr int kConnectTimeoutMs = 1000;
// Wait before the first reconnect attempt after a drop or a failed attempt;
// doubled after each failure up to kBackoffMaxMs, reset after a success.
constexpr int kBackoffFirstMs = 50;
constexpr int kBackoffMaxMs = 2000;
// How often a blocking wait looks at the stop flag where no wake-up exists.
constexpr int kStopCheckSliceMs = 50;
// Requests (gets and sets) waiting for the transmitter.
constexpr std::size_t kSendQueueLimit = 256;
// Pushes waiting for the listeners. When full the receiver stops reading,
// so the server is slowed down by TCP rather than messages being dropped.
constexpr std::size_t kDeliveryQueueLimit = 4096;
constexpr std::size_t kReceiveChunkBytes = 16 * 1024;

// Connects one resolved address without blocking longer than
// kConnectTimeoutMs or past a stop. Returns a blocking socket or -1.
int connectOne(const addrinfo& ai, const std::atomic<bool>& stopping) {
  int fd = ::socket(ai.ai_family, ai.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai.ai_protocol);
  if (fd < 0) {
    return -1;
  }
  if (::connect(fd, ai.ai_addr, ai.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      ::close(fd);
      return -1;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    for (;;) {
      pollfd waitFor{fd, POLLOUT, 0};
      int ready = ::poll(&waitFor, 1, kStopCheckSliceMs);
      if (ready > 0) {
        break;
      }
      if ((ready < 0 && errno != EINTR) || stopping || Clock::now() >= deadline) {
        ::close(fd);
        return -1;
      }
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      ::close(fd);
      return -1;
    }
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  // Requests and replies are small and latency-bound.
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return fd;
}

int connectTo(const std::string& address, int port, const std::atomic<bool>& stopping) {
  if (port <= 0 || port > 65535) {
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* resolved = nullptr;
  if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &resolved) != 0) {
    return -1;
  }
  int fd = -1;
  for (addrinfo* ai = resolved; ai != nullptr && fd < 0 && !stopping; ai = ai->ai_next) {
    fd = connectOne(*ai, stopping);
  }
  ::freeaddrinfo(resolved);
  return fd;
}

// MSG_NOSIGNAL: a peer that went away must not raise SIGPIPE.
bool sendAll(int fd, const std::vector<uint8_t>& bytes) {
  const uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t sent = ::send(fd, data, left, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    data += sent;
    left -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace

struct cObjectClient::Impl {
  struct Outgoing {
    uint64_t generation = 0;  // the connection it was queued for
    std::vector<uint8_t> bytes;
  };
  // One get() waiting for its reply; lives on the caller's stack.
  struct PendingReply {
    vulowire::FrameKind expectedKind = vulowire::FrameKind::QueryReply;
    bool done = false;
    std::unique_ptr<vulowire::Frame> reply;  // null: no usable reply
  };

  std::mutex mutex;
  std::condition_variable stateChanged;     // stop requested (wakes back-off waits)
  std::condition_variable sendChanged;      // send queue or write-in-progress changed
  std::condition_variable replyArrived;     // a pending get is done
  std::condition_variable deliveryChanged;  // delivery queue grew or shrank

  std::string address;
  int port = 0;
  bool started = false;
  std::atomic<bool> stopping{false};
  std::atomic<uint32_t> lastRequestId{0};

  // The connection: written by the receiver (and by start() before the
  // threads run) under `mutex`; the receiver itself reads `fd` freely.
  int fd = -1;
  bool connected = false;
  uint64_t generation = 0;  // bumped on every drop; stale queued writes are skipped
  bool writeInProgress = false;
  // The receiver waits for a write to end before it closes the socket.
  bool closeWaiting = false;

  std::deque<Outgoing> sendQueue;
  std::map<uint32_t, PendingReply*> pending;
  std::deque<vulowire::Frame> deliveryQueue;
  std::vector<cObjectListener*> listeners;

  std::mutex stopMutex;  // serialises stop()
  std::thread receiver;
  std::thread transmitter;
  std::thread deliverer;

  uint32_t newRequestId() {
    uint32_t id;
    do {
      id = ++lastRequestId;
    } while (id == 0);
    return id;
  }

  // ---- receiver ----------------------------------------------------------

  void receiveLoop() {
    int backoffMs = kBackoffFirstMs;
    while (!stopping) {
      if (fd < 0) {
        if (!waitBeforeReconnect(backoffMs)) {
          break;
        }
        int newFd = connectTo(address, port, stopping);
        if (newFd < 0) {
          backoffMs = std::min(backoffMs * 2, kBackoffMaxMs);
          continue;
        }
        if (!publishConnection(newFd)) {
          break;
        }
        backoffMs = kBackoffFirstMs;
      }
      readUntilDropped();
      dropConnection();
    }
    dropConnection();
  }

  // False when stopped during the wait.
  bool waitBeforeReconnect(int backoffMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return !stateChanged.wait_for(lock, std::chrono::milliseconds(backoffMs),
                                  [&] { return stopping.load(); });
  }

  bool publishConnection(int newFd) {
    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) {
      ::close(newFd);
      return false;
    }
    fd = newFd;
    connected = true;
    return true;
  }

  void readUntilDropped() {
    vulowire::FrameAssembler assembler;
    std::vector<uint8_t> chunk(kReceiveChunkBytes);
    while (!stopping) {
      ssize_t received = ::recv(fd, chunk.data(), chunk.size(), 0);
      if (received < 0 && errno == EINTR) {
        continue;
      }
      if (received <= 0) {
        return;  // closed by the peer, reset, or shut down by stop()
      }
      assembler.append(chunk.data(), static_cast<std::size_t>(received));
      for (;;) {
        vulowire::Frame frame;
        std::string error;
        vulowire::DecodeStatus status = assembler.next(frame, &error);
        if (status == vulowire::DecodeStatus::NeedMore) {
          break;
        }
        if (status == vulowire::DecodeStatus::Malformed) {
          std::fprintf(stderr, "vuloobj: malformed data from %s:%d (%s); reconnecting\n",
                       address.c_str(), port, error.c_str());
          return;
        }
        if (!dispatch(std::move(frame))) {
          return;
        }
      }
    }
  }

  // False when stopped while waiting for room in the delivery queue.
  bool dispatch(vulowire::Frame&& frame) {
    std::unique_lock<std::mutex> lock(mutex);
    switch (frame.kind) {
      case vulowire::FrameKind::Push:
        deliveryChanged.wait(
            lock, [&] { return stopping || deliveryQueue.size() < kDeliveryQueueLimit; });
        if (stopping) {
          return false;
        }
        deliveryQueue.push_back(std::move(frame));
        deliveryChanged.notify_all();
        return true;
      case vulowire::FrameKind::QueryReply:
      case vulowire::FrameKind::FetchReply: {
        auto found = pending.find(frame.requestId);
        if (found == pending.end()) {
          return true;  // its get() has given up already
        }
        PendingReply& waiting = *found->second;
        if (frame.kind == waiting.expectedKind) {
          waiting.reply = std::make_unique<vulowire::Frame>(std::move(frame));
        }
        waiting.done = true;
        pending.erase(found);
        replyArrived.notify_all();
        return true;
      }
      default:
        return true;  // requests are the server's business; ignore any echoed back
    }
  }

  // Closes the connection (if any) and fails everything that waited on it.
  void dropConnection() {
    std::unique_lock<std::mutex> lock(mutex);
    if (fd < 0) {
      return;
    }
    connected = false;
    ::shutdown(fd, SHUT_RDWR);  // ends a write blocked on a full socket
    closeWaiting = true;
    sendChanged.wait(lock, [&] { return !writeInProgress; });
    closeWaiting = false;
    ::close(fd);
    fd = -1;
    ++generation;
    sendQueue.clear();
    for (auto& entry : pending) {
      entry.second->done = true;
    }
    pending.clear();
    replyArrived.notify_all();
  }

  // ---- transmitter -------------------------------------------------------

  // Waits under `lock` until `queue` holds an item or the client stops; takes
  // the item. False when stopping.
  template <typename Queue>
  bool takeNext(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Queue& queue,
                typename Queue::value_type& item) {
    changed.wait(lock, [&] { return stopping || !queue.empty(); });
    if (stopping) {
      return false;
    }
    item = std::move(queue.front());
    queue.pop_front();
    return true;
  }

  void transmitLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    Outgoing item;
    while (takeNext(lock, sendChanged, sendQueue, item)) {
      if (item.generation != generation || fd < 0) {
        continue;
      }
      int writeFd = fd;
      writeInProgress = true;
      lock.unlock();
      if (!sendAll(writeFd, item.bytes)) {
        // Still open (the receiver waits for writeInProgress before closing);
        // this wakes the receiver, which then reconnects.
        ::shutdown(writeFd, SHUT_RDWR);
      }
      lock.lock();
      writeInProgress = false;
      sendChanged.notify_all();
    }
  }

  // Writes `bytes` at once from the calling thread when nothing is queued or
  // being written: waking the transmitter costs more than the write itself,
  // and a daemon sets an output on every pass. Never blocks on the socket:
  // what a full socket buffer does not take now is queued, ahead of anything
  // queued meanwhile, for the transmitter. Otherwise the bytes are queued.
  // False when disconnected or the queue is full.
  bool sendOrQueue(std::unique_lock<std::mutex>& lock, std::vector<uint8_t>&& bytes) {
    if (!connected || stopping || fd < 0) {
      return false;
    }
    if (writeInProgress || !sendQueue.empty()) {
      return enqueueLocked(std::move(bytes));
    }
    // The receiver does not close the socket (nor start a new connection)
    // while a write is in progress, so fd and generation hold until it ends.
    const int writeFd = fd;
    writeInProgress = true;
    lock.unlock();
    std::size_t sent = 0;
    bool broken = false;
    while (sent < bytes.size()) {
      ssize_t n =
          ::send(writeFd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        broken = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
        break;
      }
    }
    if (broken) {
      ::shutdown(writeFd, SHUT_RDWR);  // the receiver sees it and reconnects
    }
    lock.lock();
    writeInProgress = false;
    const bool remainder = !broken && sent < bytes.size();
    if (remainder) {
      bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(sent));
      sendQueue.push_front({generation, std::move(bytes)});
    }
    if (remainder || closeWaiting) {
      sendChanged.notify_all();
    }
    return true;
  }

  // Queues `bytes` for the current connection. False when disconnected or
  // the queue is full.
  bool enqueueLocked(std::vector<uint8_t>&& bytes) {
    if (!connected || stopping || sendQueue.size() >= kSendQueueLimit) {
      return false;
    }
    sendQueue.push_back({generation, std::move(bytes)});
    sendChanged.notify_all();
    return true;
  }

  // ---- deliverer ---------------------------------------------------------

  void deliverLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    vulowire::Frame frame;
    while (takeNext(lock, deliveryChanged, deliveryQueue, frame)) {
      deliveryChanged.notify_all();  // room for the receiver
      std::vector<cObjectListener*> targets = listeners;
      lock.unlock();
      deliver(frame, targets);
      lock.lock();
    }
  }

  static void deliver(vulowire::Frame& frame, const std::vector<cObjectListener*>& targets) {
    cObjectList message;
    message.setMsgType(frame.msgType);
    message.setSeqNum(frame.seqNum);
    message.setEventFlag(frame.eventFlag);
    for (std::unique_ptr<cObject>& object : frame.objects) {
      message.add(object.release());
    }
    for (cObjectListener* listener : targets) {
      message.first();
      try {
        listener->handleObjectAction(&message);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "vuloobj: a listener threw: %s\n", e.what());
      } catch (...) {
        std::fprintf(stderr, "vuloobj: a listener threw\n");
      }
    }
    message.deleteObjects();
  }

  // ---- requests ----------------------------------------------------------

  // Sends `frame` and waits for its reply of `expectedKind`; null without one.
  std::unique_ptr<vulowire::Frame> request(vulowire::Frame&& frame,
                                           vulowire::FrameKind expectedKind) {
    frame.requestId = newRequestId();
    std::vector<uint8_t> bytes;
    if (!vulowire::encodeFrame(frame, bytes)) {
      return nullptr;
    }
    PendingReply waiting;
    waiting.expectedKind = expectedKind;
    std::unique_lock<std::mutex> lock(mutex);
    // Registered before the request leaves, so no reply can come too early.
    pending[frame.requestId] = &waiting;
    if (!sendOrQueue(lock, std::move(bytes))) {
      pending.erase(frame.requestId);
      return nullptr;
    }
    replyArrived.wait_for(lock, std::chrono::milliseconds(kReplyTimeoutMs),
                          [&] { return waiting.done || stopping; });
    pending.erase(frame.requestId);  // still there after a time-out or a stop
    return std::move(waiting.reply);
  }
};

cObjectClient::cObjectClient() : mImpl(new Impl) {}

cObjectClient::~cObjectClient() {
  stop();
}

void cObjectClient::addListener(cObjectListener* listener) {
  if (listener == nullptr) {
    return;
  }
  std::lock_guard<std::mutex> lock(mImpl->mutex);
  mImpl->listeners.push_back(listener);
}

namespace {

// Starts a library thread with the asynchronous signals blocked, so that a
// process-directed signal (SIGTERM from kill) is handled on one of the
// application's own threads: its handler's flag is then written on the
// thread that reads it, and it cuts the application's sleeps short instead
// of a library read. Faults (SIGSEGV and the like) stay deliverable.
template <typename Body>
std::thread startWithSignalsBlocked(Body body) {
  sigset_t blocked;
  sigset_t previous;
  sigfillset(&blocked);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) {
    sigdelset(&blocked, fault);
  }
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  std::thread thread(std::move(body));
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return thread;
}

}  // namespace

bool cObjectClient::start(const char* address, int port) {
  Impl& impl = *mImpl;
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    if (impl.started || impl.stopping || address == nullptr) {
      return false;
    }
    impl.started = true;
    impl.address = address;
    impl.port = port;
  }
  // The first attempt is made here, so a get() right after a successful
  // start() finds the connection up.
  int fd = connectTo(impl.address, port, impl.stopping);
  if (fd >= 0) {
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.fd = fd;
    impl.connected = true;
  }
  try {
    impl.receiver = startWithSignalsBlocked([&impl] { impl.receiveLoop(); });
    impl.transmitter = startWithSignalsBlocked([&impl] { impl.transmitLoop(); });
    impl.deliverer = startWithSignalsBlocked([&impl] { impl.deliverLoop(); });
  } catch (const std::system_error&) {
    // The system refused a thread: end those already running and close the
    // connection, so the caller is left with a stopped client.
    stop();
    throw;
  }
  return fd >= 0;
}

void cObjectClient::stop() {
  Impl& impl = *mImpl;
  std::lock_guard<std::mutex> stopLock(impl.stopMutex);
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.stopping = true;
    if (impl.fd >= 0) {
      ::shutdown(impl.fd, SHUT_RDWR);  // ends a blocked read or write
    }
    impl.stateChanged.notify_all();
    impl.sendChanged.notify_all();
    impl.replyArrived.notify_all();
    impl.deliveryChanged.notify_all();
  }
  for (std::thread* thread : {&impl.receiver, &impl.transmitter, &impl.deliverer}) {
    // Called from a listener, the delivery thread cannot join itself; it
    // ends when the listener returns and a later stop() (the destructor's)
    // joins it.
    if (thread->joinable() && thread->get_id() != std::this_thread::get_id()) {
      thread->join();
    }
  }
  std::lock_guard<std::mutex> lock(impl.mutex);
  if (impl.fd >= 0) {  // started but the receiver never ran
    ::close(impl.fd);
    impl.fd = -1;
    impl.connected = false;
  }
  impl.sendQueue.clear();
  impl.deliveryQueue.clear();
}

bool cObjectClient::isConnected() const {
  std::lock_guard<std::mutex> lock(mImpl->mutex);
  return mImpl->connected;
}

cObjectList* cObjectClient::get(cObjectList* request) {
  if (request == nullptr) {
    return nullptr;
  }
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::QueryRequest;
  for (cObject* example = request->first(); example != nullptr; example = request->next()) {
    frame.objects.emplace_back(example->clone());
  }
  std::unique_ptr<vulowire::Frame> reply =
      mImpl->request(std::move(frame), vulowire::FrameKind::QueryReply);
  if (reply == nullptr) {
    return nullptr;
  }
  auto* matches = new cObjectList;
  matches->setMsgType(reply->msgType);
  matches->setSeqNum(reply->seqNum);
  matches->setEventFlag(reply->eventFlag);
  for (std::unique_ptr<cObject>& object : reply->objects) {
    matches->add(object.release());
  }
  return matches;
}

cObject* cObjectClient::get(cObject* request) {
  if (request == nullptr) {
    return nullptr;
  }
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::FetchRequest;
  frame.objects.emplace_back(request->clone());
  std::unique_ptr<vulowire::Frame> reply =
      mImpl->request(std::move(frame), vulowire::FrameKind::FetchReply);
  if (reply == nullptr || reply->objects.empty()) {
    return nullptr;
  }
  return reply->objects.front().release();
}

int cObjectClient::set(cObject* object) {
  if (object == nullptr) {
    return -1;
  }
  vulowire::Frame frame;
  frame.kind = vulowire::FrameKind::SetRequest;
  frame.objects.emplace_back(object->clone());
  std::vector<uint8_t> bytes;
  if (!vulowire::encodeFrame(frame, bytes)) {
    return -1;
  }
  std::unique_lock<std::mutex> lock(mImpl->mutex);
  return mImpl->sendOrQueue(lock, std::move(bytes)) ? 0 : -1;
}
