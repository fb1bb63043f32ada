// The two directions between the simulator and its transport, as
// interfaces, so that neither depends on the other's class.
#ifndef VULOSIM_HUB_H
#define VULOSIM_HUB_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vulowire.h"

// What the simulator asks of the transport.
class ClientHub {
 public:
  virtual ~ClientHub() = default;
  // Queues the bytes to every connected client.
  virtual void sendToAll(const std::vector<uint8_t>& bytes) = 0;
  // Closes every client connection; listening goes on.
  virtual void dropAllClients() = 0;
  // Ends the serving loop once the current event is handled.
  virtual void requestStop() = 0;
};

// What the transport tells the simulator, in the order it happens.
class HubEvents {
 public:
  virtual ~HubEvents() = default;
  // One line of standard input, without its line feed.
  virtual void consoleLine(std::string_view line) = 0;
  // A line of standard input was longer than the transport accepts; it was
  // skipped.
  virtual void consoleLineTooLong() = 0;
  // One frame from a client. True with `replyBytes` (empty when nothing is
  // to go back) for that client; false when the client is to be dropped,
  // with `why`.
  virtual bool clientFrame(const vulowire::Frame& request, std::vector<uint8_t>& replyBytes,
                           std::string& why) = 0;
  // A client came (`joined`) or went; `connectedNow` counts those left.
  virtual void clientsChanged(std::size_t connectedNow, bool joined) = 0;
};

#endif
