// A tiny object server for the client's tests: one connection at a time on
// 127.0.0.1, speaking the wire codec. It answers queries and fetches from a
// table of ports, records what it receives, and lets a test push frames or
// raw bytes to the connected client.
#ifndef FRIGEL_TESTS_PLATFORM_TESTOBJECTSERVER_H
#define FRIGEL_TESTS_PLATFORM_TESTOBJECTSERVER_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cObject.h"
#include "vulowire.h"

class TestObjectServer {
 public:
  // Listens on `port`, or on a free port when 0. Check listening().
  explicit TestObjectServer(int port = 0);
  ~TestObjectServer();
  TestObjectServer(const TestObjectServer&) = delete;
  TestObjectServer& operator=(const TestObjectServer&) = delete;

  bool listening() const { return mListenFd >= 0; }
  int port() const { return mPort; }

  // A port the server publishes (queries match its type and label, fetches
  // its serial and port id).
  void addPort(std::unique_ptr<cObjectPort> port);
  // false: requests are read and recorded but never answered.
  void setAnswering(bool answering);

  // Waits until `count` connections have been accepted in all.
  bool waitForConnections(int count, int timeoutMs = 10000);
  // Waits until `count` requests of `kind` have been received in all.
  bool waitForRequests(vulowire::FrameKind kind, std::size_t count, int timeoutMs = 10000);
  // Copies of the objects of every set request received, in order.
  std::vector<std::unique_ptr<cObject>> takeSets();

  // Sends to the current connection; false when there is none.
  bool push(const vulowire::Frame& frame);
  bool sendRaw(const std::vector<uint8_t>& bytes);
  // Closes the current connection (the server keeps listening).
  void dropConnection();
  // Closes everything and frees the port.
  void stop();

 private:
  void serve();
  void handleConnection(int fd);
  void answer(int fd, const vulowire::Frame& request);
  // Callers hold mWriteMutex.
  static bool writeAll(int fd, const std::vector<uint8_t>& bytes);

  int mListenFd = -1;
  int mPort = 0;
  std::thread mThread;

  mutable std::mutex mMutex;
  std::condition_variable mChanged;
  bool mStopping = false;
  bool mAnswering = true;
  int mClientFd = -1;
  int mConnections = 0;
  std::vector<std::unique_ptr<cObjectPort>> mPorts;
  std::vector<std::unique_ptr<cObject>> mSets;
  std::size_t mRequestsByKind[8] = {};
  // One writer at a time; taken before mMutex when both are needed.
  std::mutex mWriteMutex;
};

#endif
