#include "cObjectList.h"

void cObjectList::add(cObject* object) {
  if (object != nullptr) {
    mObjects.push_back(object);
  }
}

cObject* cObjectList::first() {
  mCursor = 0;
  return next();
}

cObject* cObjectList::next() {
  if (mCursor >= mObjects.size()) {
    return nullptr;
  }
  return mObjects[mCursor++];
}

void cObjectList::deleteObjects() {
  for (cObject* object : mObjects) {
    delete object;
  }
  mObjects.clear();
  mCursor = 0;
}
