// A small object server for the pacing benchmark. It speaks the same wire
// protocol as the simulator through the same codec (vulowire), serves a fixed
// site of the daemon's five ports, and adds what the simulator lacks for
// timing: the CLOCK_MONOTONIC arrival time of every set, and trend events
// pushed on demand, in bursts, with the time the first byte left.
//
// One client at a time: a new connection (the next daemon, or a bare
// reference loop sending sets) replaces the previous one.
#ifndef FRIGEL_BENCH_BENCHSERVER_H
#define FRIGEL_BENCH_BENCHSERVER_H

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <cObject.h>
#include <vulowire.h>

// The site's ports, by index.
enum BenchPort : int { kInternalProbe = 0, kExternalProbe, kAircon1, kAircon2, kFan, kPortCount };

// Serials, ids and labels of the site (the labels the daemon's settings name).
struct BenchSitePort {
  uint32_t serial;
  uint32_t portId;
  ePortType type;
  const char* label;
};
extern const BenchSitePort kBenchSite[kPortCount];

// A set of an air conditioner's output, as it arrived. Arrival times are the
// kernel's receive times of the segments (on loopback: when the daemon sent
// them), on CLOCK_MONOTONIC, so they do not depend on when this server's
// thread got to read them.
struct AirconSetArrival {
  int64_t arrivalNs = 0;  // CLOCK_MONOTONIC, when its bytes arrived
  int aircon = 0;         // 1 or 2
  eObjectIOState state = OBJ_IO_STATE_UNKNOWN;
  std::size_t fanSetsBefore = 0;  // fan sets that had arrived before it
};

class BenchServer {
 public:
  BenchServer();
  ~BenchServer();
  BenchServer(const BenchServer&) = delete;
  BenchServer& operator=(const BenchServer&) = delete;

  // Listens on 127.0.0.1, on a free port, and starts serving. False when it
  // cannot listen.
  bool start();
  // Stops serving and closes every socket. Safe to call twice.
  void stop();
  int port() const { return mPort; }

  // Back to the initial values: probes 20 and 15 degrees, outputs clear/0.
  void resetSite();

  // Waits for a client connection (one made after `afterConnections`
  // earlier ones). False on time-out.
  bool waitForConnection(std::size_t afterConnections, int timeoutMs);
  std::size_t connectionCount() const;

  // Pushes one MSG_EVT trend event per value for the analogue input `probe`,
  // each with the next trend sequence number, all in one write. Returns the
  // CLOCK_MONOTONIC time just before the first byte was written, or nothing
  // when no client is connected or the write failed.
  std::optional<int64_t> pushTrends(BenchPort probe, const std::vector<float>& values);

  // Fan sets received so far, and their arrival times (index from 0).
  std::size_t fanSetCount() const;
  std::vector<int64_t> fanSetTimes(std::size_t from, std::size_t to) const;
  // Fan sets among the first `count` that arrived after `afterNs`.
  std::size_t fanSetsArrivedAfter(int64_t afterNs, std::size_t count) const;
  // Waits until at least `count` fan sets have arrived. False on time-out.
  bool waitForFanSets(std::size_t count, int timeoutMs) const;

  std::size_t airconSetCount() const;
  // Waits for the first set of `aircon` to `state` at or after index `from`
  // of the air-conditioner sets; nothing on time-out.
  std::optional<AirconSetArrival> waitForAirconSet(std::size_t from, int aircon,
                                                   eObjectIOState state, int timeoutMs) const;

 private:
  void serve();
  void acceptClient();
  void readClient();
  void dropClient();
  void handleFrame(vulowire::Frame& frame, int64_t arrivalNs);
  void answerQuery(const vulowire::Frame& request);
  void answerFetch(const vulowire::Frame& request);
  void recordSet(const vulowire::Frame& request, int64_t arrivalNs);
  bool sendToClient(const std::vector<uint8_t>& bytes);
  int findPort(uint32_t serial, uint32_t portId) const;
  cObject* portObject(int index) const;

  int mListenFd = -1;
  int mPort = 0;
  std::thread mThread;
  bool mStopping = false;  // guarded by mMutex

  // The client socket. Replaced only by the serving thread while it holds
  // both mutexes; writers (replies, pushes) hold mWriteMutex.
  int mClientFd = -1;
  std::mutex mWriteMutex;
  // The bytes of the frame being read (serving thread only). Each frame is
  // read on its own, so that each gets the receive time of its own segment.
  std::vector<uint8_t> mFrameBytes;

  mutable std::mutex mMutex;
  mutable std::condition_variable mChanged;
  float mAnalogueValue[kPortCount] = {};
  eObjectIOState mDigitalState[kPortCount] = {};
  std::size_t mConnections = 0;
  std::vector<int64_t> mFanSetTimes;
  std::vector<AirconSetArrival> mAirconSets;
  uint32_t mTrendSequence = 0;
  uint8_t mMessageSequence = 0;
};

#endif
