// Record of the outside-air fan driven through an analogue output.
#ifndef FRIGEL_FAN_H
#define FRIGEL_FAN_H

#include <cObject.h>
#include <cQlog.h>

class Fan : public cQlog {
 public:
  Fan();
  // Does not release the control port.
  virtual ~Fan();

  // The fan's output port; its output value is the speed last sent (percent).
  // Null when discovery failed.
  cObjectAOutput* getControlPort();
  void setControlPort(cObjectAOutput* port);

 private:
  cObjectAOutput* mControlPort;
};

#endif
