// System Events' answers to the login-item events:
//   'core'/'getd' of the 'pALL' of every 'logi': a list of records {ppth, hidn}
//   'core'/'crel' of a 'logi' with 'prdt' {ppth, hidn} at the end of the list
//   'core'/'delo' of the 'logi' at a 1-based index
// plus 'aevt'/'quit' and the control event of SystemEventsControl.h. Anything
// else, or anything malformed, is answered with an 'errn'.
#pragma once

#include "platform/applevents/AEDataModel.h"
#include "systemevents/LoginItemStore.h"

namespace systemevents {

class SystemEventsHandler {
 public:
  // A nonzero `failure` refuses every event from the start, as the control
  // event does.
  explicit SystemEventsHandler(LoginItemStore& store, OSStatus failure = noErr)
      : store_(store), failure_(failure) {}

  void handle(const AppleEvent& event, AppleEvent* reply);
  bool quitRequested() const { return quitRequested_; }

 private:
  OSStatus getData(const AppleEvent& event, AppleEvent* reply);
  OSStatus createElement(const AppleEvent& event, AppleEvent* reply);
  OSStatus deleteElement(const AppleEvent& event);

  LoginItemStore& store_;
  OSStatus failure_;
  bool quitRequested_ = false;
};

}  // namespace systemevents
