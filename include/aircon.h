// Record of one air conditioner driven through a digital output.
#ifndef FRIGEL_AIRCON_H
#define FRIGEL_AIRCON_H

#include <cObject.h>

class aircon {
 public:
  enum OnOffStatus : unsigned { OFF = 0, ON = 1 };

  aircon();
  // Does not release the control port.
  virtual ~aircon();

  // The unit's output port, also the cached copy of what was last sent;
  // null when discovery failed.
  cObjectDOutput* getControlPort();
  void setControlPort(cObjectDOutput* port);
  int getAirconNumber();
  void setAirconNumber(int number);
  // The state the bridge last switched the unit to.
  OnOffStatus getOnOffStatus();
  void setOnOffStatus(OnOffStatus status);

 private:
  cObjectDOutput* _airconControlPort;
  int mAirConnumber;
  OnOffStatus OPStatus;
};

#endif
