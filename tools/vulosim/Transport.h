// The simulator's network side: one thread, one poll() loop over the stop
// descriptor, standard input, the listening socket and the clients. Frames
// from one client are handled in the order they arrive, one at a time. An
// optional periodic task (the room model) runs on the same thread between
// the socket events.
#ifndef VULOSIM_TRANSPORT_H
#define VULOSIM_TRANSPORT_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Hub.h"
#include "LineReader.h"
#include "vulowire.h"

class PeriodicTask;

class Transport : public ClientHub {
 public:
  struct Limits {
    std::size_t maxClients = 32;
    // A client whose unsent bytes pass this is dropped: it does not read.
    std::size_t maxPendingBytes = 4 * 1024 * 1024;
    // Above this many unsent bytes a client's requests are not read until
    // it has taken its replies.
    std::size_t pauseReadingAboveBytes = 256 * 1024;
    std::size_t maxConsoleLineBytes = 4096;
    // A periodic task that fell behind catches up at most this many ticks
    // before the sockets and the console are looked at again.
    std::size_t maxTicksBetweenPolls = 256;
  };

  Transport() : Transport(Limits()) {}
  explicit Transport(const Limits& limits);
  ~Transport() override;
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Listens on 127.0.0.1 at `port` (0: a free port). False with `error`.
  bool listen(uint16_t port, std::string& error);
  // The port listened on; 0 before listen().
  uint16_t port() const { return mPort; }

  // From the next run() on, calls `task->tick()` once per `period` (> 0) of
  // the monotonic clock, the first one `period` after run() starts. The
  // deadlines are fixed multiples of the period from that start, so late
  // ticks do not shift the later ones. Null: no task (run() then waits
  // for events only).
  void setPeriodicTask(PeriodicTask* task, std::chrono::duration<double> period);

  // Serves until requestStop() or until `stopFd` turns readable, telling
  // `events` what happens. Commands are read from `consoleFd` (-1: none)
  // until its end, which does not stop serving.
  void run(HubEvents& events, int consoleFd, int stopFd);

  void sendToAll(const std::vector<uint8_t>& bytes) override;
  void dropAllClients() override;
  void requestStop() override { mStopRequested = true; }
  // Clients connected now.
  std::size_t connectedCount() const;

 private:
  struct Client {
    int fd = -1;  // -1 once closed; removed from the list after the event
    vulowire::FrameAssembler assembler;
    std::vector<uint8_t> pending;  // unsent bytes
    std::size_t pendingSent = 0;   // bytes of `pending` already sent
    std::size_t unsent() const { return pending.size() - pendingSent; }
  };

  void acceptClients();
  void readClient(Client& client);
  void readConsole();
  void sendTo(Client& client, const uint8_t* data, std::size_t size);
  void flush(Client& client);
  void closeClient(Client& client, const std::string& why);
  void removeClosedClients();
  // When the next tick is due: mTicksDone + 1 periods after run() started.
  std::chrono::steady_clock::time_point nextTickDeadline() const;
  // Runs the ticks that are due, up to the burst limit.
  void runDueTicks();
  // The poll time-out until the next tick; null (no time-out) without a task.
  const struct timespec* pollTimeout(struct timespec& storage) const;

  HubEvents* mEvents = nullptr;  // set while run() runs
  Limits mLimits;
  int mListenFd = -1;
  uint16_t mPort = 0;
  int mConsoleFd = -1;
  LineReader mConsole;
  std::vector<std::unique_ptr<Client>> mClients;
  bool mStopRequested = false;
  PeriodicTask* mTask = nullptr;
  std::chrono::duration<double> mTickPeriod{0.0};
  std::chrono::steady_clock::time_point mTicksStart;
  uint64_t mTicksDone = 0;  // since mTicksStart
};

// Work done on a fixed period of the monotonic clock.
class PeriodicTask {
 public:
  virtual ~PeriodicTask() = default;
  // One period has passed; after a delay, called several times in a row.
  virtual void tick() = 0;
};

#endif
