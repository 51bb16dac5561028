// System Events' answers to the login-item events:
//   'core'/'getd' of the 'pALL' of every 'logi': a list of records {ppth, hidn}
//   'core'/'crel' of a 'logi' with 'prdt' {ppth, hidn} at the end of the list
//   'core'/'delo' of the 'logi' at a 1-based index
// plus 'aevt'/'quit'. Anything else, or anything malformed, is answered with
// an 'errn'.
#pragma once

#include <climits>
#include <cstddef>

#include "platform/applevents/AEDataModel.h"
#include "systemevents/LoginItemStore.h"

namespace systemevents {

// The largest event System Events reads; a client that sends a longer one is
// dropped unread. Of its events only 'crel' carries something of variable
// size: one path, under PATH_MAX bytes of UTF-8, which the client sends as
// 'utxt' (UTF-16), at most two bytes per byte of UTF-8 (a four-byte sequence
// becomes a four-byte surrogate pair). The rest of that event (the message
// and node headers, the five attributes, the class, the property record and
// the insertion location) takes 203 bytes; 1 KiB leaves room for more.
// Decoding it makes at most one descriptor per 9 bytes, some 1,000.
inline constexpr std::size_t kMaxEventSize = 2 * PATH_MAX + 1024;

// Makes reply an answer that carries only the error number status.
void putErrorNumber(AppleEvent* reply, OSStatus status);

class SystemEventsHandler {
 public:
  explicit SystemEventsHandler(LoginItemStore& store) : store_(store) {}

  void handle(const AppleEvent& event, AppleEvent* reply);
  bool quitRequested() const { return quitRequested_; }

 private:
  OSStatus getData(const AppleEvent& event, AppleEvent* reply);
  OSStatus createElement(const AppleEvent& event, AppleEvent* reply);
  OSStatus deleteElement(const AppleEvent& event);

  LoginItemStore& store_;
  bool quitRequested_ = false;
};

}  // namespace systemevents
