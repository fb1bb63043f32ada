// Callback interface for messages pushed by the object server.
#ifndef VULOOBJ_COBJECTLISTENER_H
#define VULOOBJ_COBJECTLISTENER_H

class cObjectList;

class cObjectListener {
 public:
  // Called on the client's delivery thread, one message at a time. The list
  // and its objects stay the library's and are gone after the call.
  virtual void handleObjectAction(cObjectList* message) = 0;
  virtual ~cObjectListener() = default;
};

#endif
