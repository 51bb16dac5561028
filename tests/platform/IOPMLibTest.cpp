// IOKit's power calls over the simulated power source: delivery through the
// port's run-loop source, acknowledgement, and undoing the registration.
#include <glib.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/iokit/IOPMLib.h"
#include "platform/machine/ScopedSimulatedBackends.h"

namespace {

std::vector<std::pair<natural_t, intptr_t>> received;
void record(void*, io_service_t, natural_t messageType, void* argument) {
  received.emplace_back(messageType, reinterpret_cast<intptr_t>(argument));
}

void runUntilIdle() {
  while (g_main_context_iteration(nullptr, FALSE)) continue;
}

TEST(IOPMLibTest, QueuedNotificationsArriveInOrderAndAreAnsweredOnce) {
  ScopedSimulatedBackends backends;
  received.clear();
  IONotificationPortRef port = nullptr;
  io_object_t notifier = 0;
  const io_connect_t connection = IORegisterForSystemPower(nullptr, &port, record, &notifier);
  ASSERT_NE(connection, 0u);
  const intptr_t first = backends.power->post(kIOMessageCanSystemSleep);
  const intptr_t second = backends.power->post(kIOMessageSystemWillSleep);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                     kCFRunLoopCommonModes);
  runUntilIdle();
  EXPECT_EQ(received, (std::vector<std::pair<natural_t, intptr_t>>{
                          {kIOMessageCanSystemSleep, first}, {kIOMessageSystemWillSleep, second}}));

  EXPECT_EQ(IOAllowPowerChange(connection, second), kIOReturnSuccess);
  EXPECT_EQ(IOAllowPowerChange(connection, second), kIOReturnBadArgument);
  EXPECT_EQ(backends.power->acknowledgedCodes(), std::vector<uint32_t>{kIOMessageSystemWillSleep});

  // Closed without deregistering first: the service is still let go.
  IONotificationPortDestroy(port);
  EXPECT_EQ(IOServiceClose(connection), kIOReturnSuccess);
  EXPECT_EQ(backends.power->registrationCount(), 0u);
  EXPECT_EQ(IODeregisterForSystemPower(&notifier), kIOReturnBadArgument);
}

}  // namespace
