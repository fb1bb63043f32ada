// Answers the frames a client sends: query by example, fetch, set. Works on
// the store only; the transport moves the bytes.
#ifndef VULOSIM_REQUESTHANDLER_H
#define VULOSIM_REQUESTHANDLER_H

#include <memory>
#include <string>

#include "LineSink.h"
#include "SiteStore.h"
#include "vulowire.h"

// A new object of the port's own class (cObjectAInput, cObjectAOutput,
// cObjectDInput, cObjectDOutput) carrying its serial, id, label, type and
// current value (a frozen input's frozen one) or state.
std::unique_ptr<cObject> makePortObject(const SitePort& port);

class RequestHandler {
 public:
  enum class Verdict {
    Reply,    // `reply` is to be sent back to the client
    NoReply,  // handled; nothing goes back (a set)
    Reject,   // the frame has no business coming from a client; `why` says so
  };

  // `logAllSets`: print every set, not only those that change a port.
  RequestHandler(SiteStore& store, LineSink& out, bool logAllSets)
      : mStore(store), mOut(out), mLogAllSets(logAllSets) {}

  Verdict handle(const vulowire::Frame& request, vulowire::Frame& reply, std::string& why);

 private:
  void query(const vulowire::Frame& request, vulowire::Frame& reply);
  void fetch(const vulowire::Frame& request, vulowire::Frame& reply);
  void applySet(const cObject& object);
  // Prints the line for a set, unless it changed nothing and not every set
  // is to be printed.
  void reportSet(const SitePort& port, bool changed);

  SiteStore& mStore;
  LineSink& mOut;
  bool mLogAllSets;
};

#endif
