// A scriptable object server on the loopback address, for the tests and the
// benchmarks: the wire protocol through the project's codec (vulowire), one
// thread, one client at a time (a client that connects while another is
// served waits in the backlog until that one has gone).
//
// It answers queries and fetches from a table of ports and writes each set
// into the table, unless a script builds the replies instead. A test can
// stop it answering (and let it answer again), push trend events singly or
// in bursts, push any frame or raw bytes, and drop the connection. It counts
// the requests of each kind and keeps every set with its arrival time:
// the kernel's receive time of its bytes (SO_TIMESTAMPNS) on
// CLOCK_MONOTONIC, so on loopback the moment the client sent it, however
// late this server's thread got to read it.
#ifndef FRIGEL_TESTS_LOOPBACKSERVER_H
#define FRIGEL_TESTS_LOOPBACKSERVER_H

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "cObject.h"
#include "vulowire.h"

class LoopbackServer {
 public:
  // Upper bound of the waits below; only a failing test waits that long.
  static constexpr int kWaitMs = 10000;

  // Builds the reply to a query or a fetch (its objects; the server sets
  // its kind and request id). Runs on the server's thread, with no lock
  // held: it may push to the client, or wait, before the reply goes.
  using Script = std::function<void(const vulowire::Frame& request, vulowire::Frame& reply)>;

  // A set request as it arrived.
  struct SetArrival {
    int64_t arrivalNs = 0;  // CLOCK_MONOTONIC, when its bytes arrived
    std::size_t order = 0;  // its place among every set received, from 0
    uint32_t serial = 0;    // of the port written (0 for a set of no port)
    uint32_t portId = 0;
    std::shared_ptr<const cObject> object;  // as decoded
    // The value of an analogue output's set; NaN for other sets.
    float value() const;
    // The state of a digital output's set; unknown for other sets.
    eObjectIOState state() const;
  };

  LoopbackServer() = default;
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Listens on 127.0.0.1 at `port` (0: a free one) and starts serving.
  // False when it cannot listen.
  bool start(int port = 0);
  // Stops serving, closes every socket and frees the port. Safe to repeat.
  void stop();
  int port() const { return mPort; }

  // The table. A query finds every port of its label whose type is the
  // asked one (any type when none is asked); a fetch the port of its
  // serial and port id, with the port's value or state now.
  void addPort(std::unique_ptr<cObjectPort> port);
  void removePorts();
  // The value an analogue port of the table reports from now on, without
  // telling the client. False when the table has no such port.
  bool setValue(const std::string& label, float value);
  // Replaces the table in building replies; an empty script goes back to it.
  void script(Script script);
  // false: requests are read and counted but never answered.
  void setAnswering(bool answering);

  std::size_t connectionCount() const;
  // Waits until `count` connections have been accepted in all.
  bool waitForConnections(std::size_t count, int timeoutMs = kWaitMs) const;
  std::size_t requestCount(vulowire::FrameKind kind) const;
  // Waits until `count` requests of `kind` have been received in all.
  bool waitForRequests(vulowire::FrameKind kind, std::size_t count, int timeoutMs = kWaitMs) const;

  // Every set received from the `from`th on, in order.
  std::vector<SetArrival> sets(std::size_t from = 0) const;
  // The sets of the table port `label`, counted per port: how many, the
  // `from`th to before the `to`th, and a wait until there are `count`.
  std::size_t setCount(const std::string& label) const;
  std::vector<SetArrival> setsOf(const std::string& label, std::size_t from,
                                 std::size_t to = SIZE_MAX) const;
  bool waitForSetCount(const std::string& label, std::size_t count, int timeoutMs = kWaitMs) const;
  // Waits for the first set of `label`, from its `from`th on, that `match`
  // accepts (it runs with the server's lock held: it must not call the
  // server); nothing on time-out.
  std::optional<SetArrival> waitForSet(const std::string& label, std::size_t from,
                                       const std::function<bool(const SetArrival&)>& match,
                                       int timeoutMs = kWaitMs) const;

  // To the client now served; false when there is none or the write failed.
  bool push(const vulowire::Frame& frame);
  bool sendRaw(const std::vector<uint8_t>& bytes);
  // One trend event (MSG_EVT) per value for the table port `label`, each
  // with the next trend sequence number (never 0), all in one write; the
  // port then reports the last value. The CLOCK_MONOTONIC time just before
  // the first byte was written, or nothing (no client, no such port, the
  // write failed).
  std::optional<int64_t> pushTrends(const std::string& label, const std::vector<float>& values);
  // One trend event for any port, with the sequence number given.
  bool pushTrend(uint32_t serial, uint32_t portId, float value, uint32_t sequence);
  // Closes the connection now served; the server goes on listening.
  void dropConnection();

 private:
  using PortKey = std::pair<uint32_t, uint32_t>;  // serial, port id

  void serve();
  void acceptClient();
  void readClient();
  void closeClient();
  void handleFrame(vulowire::Frame& frame, int64_t arrivalNs);
  void recordSet(vulowire::Frame& request, int64_t arrivalNs);
  void tableReply(const vulowire::Frame& request, vulowire::Frame& reply) const;
  // Callers hold mMutex.
  const cObjectPort* portLabelled(const std::string& label) const;
  const std::vector<std::size_t>* setIndexesOf(const std::string& label) const;
  // Callers hold mWriteMutex.
  bool writeToClient(const uint8_t* data, std::size_t size);

  int mListenFd = -1;
  int mPort = 0;
  int mWakePipe[2] = {-1, -1};  // written by stop(): the thread ends
  std::thread mThread;
  // The bytes of the frame being read (server thread only). Each frame is
  // read on its own, so that each gets the receive time of its own bytes.
  std::vector<uint8_t> mFrameBytes;

  // The client socket: changed only by the server thread holding both
  // mutexes; writers hold mWriteMutex, taken before mMutex.
  int mClientFd = -1;
  std::mutex mWriteMutex;

  mutable std::mutex mMutex;
  mutable std::condition_variable mChanged;
  std::vector<std::unique_ptr<cObjectPort>> mPorts;
  Script mScript;
  bool mAnswering = true;
  std::size_t mConnections = 0;
  std::size_t mRequestsByKind[8] = {};
  std::vector<SetArrival> mSets;
  std::map<PortKey, std::vector<std::size_t>> mSetsByPort;  // indexes into mSets
  uint32_t mTrendSequence = 0;
  uint8_t mMessageSequence = 0;
};

#endif
