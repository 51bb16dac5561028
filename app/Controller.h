// Controller: the application's delegate. Registers the defaults, runs the
// start-up sequence when launching has finished and undoes the power
// registration when the application terminates.
#pragma once

#include "platform/appkit/NSApplication.h"

class Controller : public NSApplicationDelegate {
 public:
  // Registers the defaults; none when the object could not be set up.
  Controller* init();
  void applicationDidFinishLaunching(const NSNotification& notification) override;
  void applicationWillTerminate(const NSNotification& notification) override;
};
