// The shut-down undoes the power registration in the reverse order of its
// set-up: the port's source leaves the run loop before the registration goes.
// (What a launch does, and what a running application does, the hushmoor-sim
// scenarios in tests/sim show.)
#include <gtest/gtest.h>

#include "app/Controller.h"
#include "app/PowerHandler.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "tests/support/ScopedSimulatedBackends.h"

namespace {

class RecordingPowerSource : public PowerSourceSim {
 public:
  void deregister(uint32_t registration) override {
    attachedAtDeregistration.push_back(CFRunLoopContainsSource(
        CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(powerNotificationPort),
        kCFRunLoopCommonModes));
    PowerSourceSim::deregister(registration);
  }
  std::vector<bool> attachedAtDeregistration;
};

TEST(ControllerShutDownTest, DetachesThePortsSourceBeforeDeregistering) {
  auto power = std::make_shared<RecordingPowerSource>();
  ScopedSimulatedBackends backends(power);
  resetProcessWideStateForTesting();
  Controller controller;
  ASSERT_EQ(controller.init(), &controller);
  // Registered and attached as the start-up leaves it.
  powerConnection = IORegisterForSystemPower(&powerNotificationPort, &powerNotificationPort,
                                             MySleepCallBack, &powerNotifier);
  CFRunLoopAddSource(CFRunLoopGetCurrent(),
                     IONotificationPortGetRunLoopSource(powerNotificationPort),
                     kCFRunLoopCommonModes);
  controller.applicationWillTerminate(NSNotification{});
  EXPECT_EQ(power->attachedAtDeregistration, std::vector<bool>{false});
  EXPECT_EQ(power->registrationCount(), 0u);
}

}  // namespace
