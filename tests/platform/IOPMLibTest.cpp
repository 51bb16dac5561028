// IOKit's power calls over the simulated power source: registration, delivery
// through the port's run-loop source, acknowledgement and undoing it.
#include <glib.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/iokit/IOPMLib.h"
#include "platform/iokit/PowerSourceSim.h"

namespace {

struct Received {
  natural_t messageType;
  intptr_t id;
};
std::vector<Received> received;
void recordingCallback(void*, io_service_t, natural_t messageType, void* argument) {
  received.push_back({messageType, reinterpret_cast<intptr_t>(argument)});
}

void runUntilIdle() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

class IOPMLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    installPowerSource(power);
  }
  void TearDown() override { installPowerSource(nullptr); }
  std::shared_ptr<SimulatedPowerSource> power = std::make_shared<SimulatedPowerSource>();
};

TEST_F(IOPMLibTest, AFailedRegistrationFillsInNothing) {
  power->setRegistrationSucceeds(false);
  IONotificationPortRef port = reinterpret_cast<IONotificationPortRef>(0x1);
  io_object_t notifier = 77;
  EXPECT_EQ(IORegisterForSystemPower(nullptr, &port, recordingCallback, &notifier), 0u);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(notifier, 0u);
  EXPECT_EQ(power->registrationCount(), 0u);
}

TEST_F(IOPMLibTest, NotificationsArriveInOrderOnlyOnceTheSourceIsAttached) {
  IONotificationPortRef port = nullptr;
  io_object_t notifier = 0;
  const io_connect_t connection = IORegisterForSystemPower(nullptr, &port, recordingCallback, &notifier);
  ASSERT_NE(connection, 0u);
  ASSERT_NE(port, nullptr);
  ASSERT_NE(notifier, 0u);

  const intptr_t first = power->post(kIOMessageCanSystemSleep);
  const intptr_t second = power->post(kIOMessageSystemWillSleep);
  runUntilIdle();
  EXPECT_TRUE(received.empty()) << "delivered only through the run loop";

  CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                     kCFRunLoopCommonModes);
  runUntilIdle();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].messageType, kIOMessageCanSystemSleep);
  EXPECT_EQ(received[0].id, first);
  EXPECT_EQ(received[1].messageType, kIOMessageSystemWillSleep);
  EXPECT_EQ(received[1].id, second);

  // Acknowledgements: each answerable notice once; nothing else.
  EXPECT_EQ(IOAllowPowerChange(connection, second), kIOReturnSuccess);
  EXPECT_EQ(IOAllowPowerChange(connection, second), kIOReturnBadArgument);
  EXPECT_EQ(IOAllowPowerChange(connection + 1, first), kIOReturnBadArgument);
  EXPECT_EQ(IOAllowPowerChange(connection, first), kIOReturnSuccess);
  const intptr_t wake = power->post(kIOMessageSystemHasPoweredOn);
  EXPECT_EQ(IOAllowPowerChange(connection, wake), kIOReturnBadArgument);
  EXPECT_EQ(power->acknowledgedCodes(),
            (std::vector<uint32_t>{kIOMessageSystemWillSleep, kIOMessageCanSystemSleep}));

  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                        kCFRunLoopCommonModes);
  EXPECT_EQ(IODeregisterForSystemPower(&notifier), kIOReturnSuccess);
  EXPECT_EQ(notifier, 0u);
  EXPECT_EQ(power->registrationCount(), 0u);
  EXPECT_EQ(IOServiceClose(connection), kIOReturnSuccess);
  EXPECT_EQ(IOServiceClose(connection), kIOReturnBadArgument);
  IONotificationPortDestroy(port);
}

TEST_F(IOPMLibTest, DestroyingThePortDropsWhatIsQueuedAndClosingLetsTheServiceGo) {
  IONotificationPortRef port = nullptr;
  io_object_t notifier = 0;
  const io_connect_t connection = IORegisterForSystemPower(nullptr, &port, recordingCallback, &notifier);
  ASSERT_NE(connection, 0u);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port),
                     kCFRunLoopCommonModes);
  power->post(kIOMessageSystemWillSleep);
  IONotificationPortDestroy(port);
  runUntilIdle();
  EXPECT_TRUE(received.empty());
  // Closed without deregistering first: the service is still let go.
  EXPECT_EQ(IOServiceClose(connection), kIOReturnSuccess);
  EXPECT_EQ(power->registrationCount(), 0u);
  EXPECT_EQ(IODeregisterForSystemPower(&notifier), kIOReturnBadArgument);
}

}  // namespace
