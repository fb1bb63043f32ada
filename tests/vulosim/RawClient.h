// A bare client of the simulator over a TCP socket and the wire codec, for
// checking exactly what crosses the wire. Replies are matched to requests;
// pushes that arrive meanwhile are kept in order for nextPush().
#ifndef FRIGEL_TESTS_VULOSIM_RAWCLIENT_H
#define FRIGEL_TESTS_VULOSIM_RAWCLIENT_H

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "cObject.h"
#include "vulowire.h"

class RawClient {
 public:
  RawClient() = default;
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connect(int port);
  void close();

  bool sendBytes(const std::vector<uint8_t>& bytes);
  bool send(const vulowire::Frame& frame);
  // Sends what the socket takes without blocking; the number of bytes sent.
  std::size_t sendWithoutWaiting(const std::vector<uint8_t>& bytes);

  // Query by example; the reply's objects, or nullopt without a reply.
  std::optional<vulowire::Frame> query(const std::string& label, ePortType type);
  // Fetch of `example` (a port object naming serial and id).
  std::optional<vulowire::Frame> fetch(const cObjectPort& example);
  // Set: no reply is expected.
  bool set(const cObject& output);

  // The next pushed frame, or nullopt when none arrives in time.
  std::optional<vulowire::Frame> nextPush(int timeoutMs = 5000);

  enum class Ending { Closed, Malformed, Timeout };
  // Reads until the server closes the connection or sends what does not
  // decode; frames that do decode are kept.
  Ending waitForEnd(int timeoutMs = 5000);

 private:
  enum class Read { Frame, Closed, Malformed, Timeout };
  Read readFrame(vulowire::Frame& out, int timeoutMs);
  std::optional<vulowire::Frame> request(vulowire::Frame& frame);

  int mFd = -1;
  uint32_t mLastRequestId = 0;
  vulowire::FrameAssembler mAssembler;
  std::deque<vulowire::Frame> mPushes;
};

#endif
