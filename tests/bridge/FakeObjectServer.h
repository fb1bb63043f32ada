// A scripted object server for the replies the simulator cannot give (a
// reply list that starts with something other than a port, a failed fetch,
// a reply of the wrong class). It listens on a free loopback port, serves
// one client at a time, and answers each query or fetch with whatever the
// test's handler puts into the reply. Optionally it keeps pushing trend
// events for as long as a client is connected.
#ifndef FRIGEL_TESTS_FAKEOBJECTSERVER_H
#define FRIGEL_TESTS_FAKEOBJECTSERVER_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "vulowire.h"

class FakeObjectServer {
 public:
  // Fills `reply.objects` for a query or fetch; the server sets the kind
  // and the request id. Runs on the server's thread.
  using Handler = std::function<void(const vulowire::Frame& request, vulowire::Frame& reply)>;

  explicit FakeObjectServer(Handler handler, bool keepPushingTrends = false);
  ~FakeObjectServer();
  FakeObjectServer(const FakeObjectServer&) = delete;
  FakeObjectServer& operator=(const FakeObjectServer&) = delete;

  // The port it listens on; 0 when it could not listen.
  int port() const { return mPort; }
  // From the handler only: pushes a trend event for the port (serial,
  // portId) to the client being answered, ahead of the reply. False when it
  // could not be sent.
  bool pushTrendNow(uint32_t serial, uint32_t portId, float value, uint32_t seq);
  int fetchesSeen() const { return mFetches.load(); }

 private:
  void run();
  void serve(int clientFd);

  Handler mHandler;
  bool mKeepPushingTrends;
  int mListenFd = -1;
  int mPort = 0;
  int mServedFd = -1;  // the client being served; the server's thread only
  std::atomic<bool> mStopping{false};
  std::atomic<int> mFetches{0};
  std::thread mThread;
};

#endif
