// One message: an ordered list of objects plus its message header.
#ifndef VULOOBJ_COBJECTLIST_H
#define VULOOBJ_COBJECTLIST_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cObject.h"

// Message types. The daemon handles these three; others may arrive.
enum eMsgType : uint8_t { MSG_SET = 0, MSG_REQ = 1, MSG_EVT = 3 };

class cObjectList {
 public:
  cObjectList() = default;
  // Leaves the objects alone: a request list may hold objects that live on
  // the caller's stack. deleteObjects() destroys them.
  ~cObjectList() = default;
  cObjectList(const cObjectList&) = delete;
  cObjectList& operator=(const cObjectList&) = delete;

  // Appends; null is ignored. The list does not take ownership.
  void add(cObject* object);
  // Iteration: first() rewinds; both return null past the end.
  cObject* first();
  cObject* next();
  std::size_t size() const { return mObjects.size(); }
  // Deletes every object and empties the list.
  void deleteObjects();

  uint8_t getMsgType() const { return mMsgType; }
  void setMsgType(uint8_t type) { mMsgType = type; }
  uint8_t getSeqNum() const { return mSeqNum; }
  void setSeqNum(uint8_t seq) { mSeqNum = seq; }
  bool getEventFlag() const { return mEventFlag; }
  void setEventFlag(bool flag) { mEventFlag = flag; }

 private:
  std::vector<cObject*> mObjects;
  std::size_t mCursor = 0;
  uint8_t mMsgType = MSG_SET;
  uint8_t mSeqNum = 0;
  bool mEventFlag = false;
};

#endif
