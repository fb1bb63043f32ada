// Client of the object server, over TCP.
//
// The client runs its own receive, transmit and delivery threads. get() waits
// for its reply for at most kReplyTimeoutMs and returns null when there is no
// server, no reply or a malformed one; while disconnected it fails at once.
// A lost connection is re-established in the background with a back-off
// (50 ms, doubling to 2 s; back to 50 ms after a connection), and delivery to
// the listeners goes on after the reconnect; a connection attempt gives up
// after 1 s. A drop wakes every waiting get() with null and discards queued
// writes. Pushes wait in a bounded queue (4096 messages); when it is full the
// client stops reading, so the server is held back by TCP and no message is
// lost. Malformed data from the server drops the connection (one line on
// stderr says why). No call throws, but start() when the system refuses a
// thread, and nothing the server sends (or fails to send) can end the
// process: writes never raise SIGPIPE.
#ifndef VULOOBJ_COBJECTCLIENT_H
#define VULOOBJ_COBJECTCLIENT_H

#include <memory>

#include "cObject.h"
#include "cObjectList.h"
#include "cObjectListener.h"

class cObjectClient {
 public:
  // How long get() waits for its reply.
  static constexpr int kReplyTimeoutMs = 1000;

  cObjectClient();
  // Stops the threads and closes the connection.
  ~cObjectClient();
  cObjectClient(const cObjectClient&) = delete;
  cObjectClient& operator=(const cObjectClient&) = delete;

  // Listeners must be added before start().
  void addListener(cObjectListener* listener);

  // Makes a first connection attempt at once and starts the threads, which
  // keep (re)connecting in the background. True when the first attempt
  // connected. Calling it again does nothing and returns false. Throws
  // std::system_error when a thread cannot be created; the client is then
  // stopped (every thread it had started is joined).
  bool start(const char* address, int port);

  // Stops the threads and closes the connection; no listener is called after
  // it returns (when called from a listener: after that listener returns).
  // Waiting get() calls return null. Safe to call more than once; the
  // destructor calls it. Never delete the client from a listener.
  void stop();

  // True while a connection to the server is up.
  bool isConnected() const;

  // Query by example: `request` holds port objects with a port type and a
  // label. Returns a new list of the matching ports, owned by the caller
  // (end it with deleteObjects() and delete), or null without a reply.
  cObjectList* get(cObjectList* request);

  // Fetch: `request` is a port object of the wanted class with serial, port
  // id, label and type. Returns a new object of that class with the port's
  // current state or value, owned by the caller, or null.
  cObject* get(cObject* request);

  // Writes the output state or value of `object` to its port. The write is
  // queued to the transmit thread and not waited for: 0 when queued, -1 when
  // not connected, when the bounded send queue (256 requests) is full, or
  // when the object cannot be encoded. Writes reach the server in the order
  // they were made. The object stays the caller's.
  int set(cObject* object);

 private:
  struct Impl;
  std::unique_ptr<Impl> mImpl;
};

#endif
