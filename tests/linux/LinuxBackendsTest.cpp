// The Linux backends behind the platform calls the application makes:
// IOKit's power calls over logind (dbusmock on a private bus), CWInterface
// over rfkill (a fake sysfs tree), and the delay-limit check.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/LinuxMachine.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/CWInterface.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/iokit/IOPMLib.h"
#include "platform/iokit/PowerSourceLogind.h"
#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"

namespace {

TEST(LogindDelayLimit, WarnsOnlyWhenTheWaitPlusAMarginDoesNotFit) {
  struct Case {
    long sleepDelay;
    std::optional<uint64_t> limitUSec;
    bool problem;
  };
  const Case cases[] = {
      {5, 5000000, true},   // both defaults: the machine sleeps before the wait ends
      {0, 5000000, true},   // 0 means 5
      {-3, 5000000, true},  // a negative delay waits like 0
      {4, 5000000, false},  // 4 s + 1 s margin just fits
      {1, 5000000, false},      {5, 15000000, false},  // the shipped drop-in
      {14, 15000000, false},    {15, 15000000, true},
      {5, std::nullopt, false},  // unknown limit: nothing to say
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sleepDelay << " s, limit " << c.limitUSec.value_or(0));
    auto problem = logindDelayLimitProblem(c.sleepDelay, c.limitUSec);
    EXPECT_EQ(problem.has_value(), c.problem);
  }
  auto text = logindDelayLimitProblem(0, 2500000);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("at most 2.5 s (InhibitDelayMaxSec)"), std::string::npos) << *text;
  EXPECT_NE(text->find("waits 5 s (SleepDelay)"), std::string::npos) << *text;
}

class WirelessRfkillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sys_.addInterface("wlan0", 3, "phy0");
    sys_.addRfkill("phy0", 2, false, false);
    installWirelessBackend(std::make_shared<WirelessRfkill>(sys_.paths()));
  }
  void TearDown() override { installWirelessBackend(nullptr); }
  FakeSysfs sys_;
};

TEST_F(WirelessRfkillTest, FailuresAreErrorObjectsWithErrno) {
  struct Case {
    const char* label;
    std::function<void(FakeSysfs&)> arrange;
    int code;
    const char* text;
  };
  const Case cases[] = {
      {"hard_blocked", [](FakeSysfs& s) { s.setBlocks("phy0", 2, true, true); }, ERFKILL,
       "radio of wlan0 on (it is blocked by a hardware switch)"},
      {"interface_gone", [](FakeSysfs& s) { s.removeRfkill("phy0", 2); }, ENODEV,
       "No wireless interface en1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto airport = CWInterface::interfaceWithName("en1");
    ASSERT_TRUE(airport);
    c.arrange(sys_);
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(airport->setPower(true, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), NSString("NSPOSIXErrorDomain"));
    EXPECT_EQ(error->code(), c.code);
    EXPECT_NE(error->description().UTF8String().find(c.text), std::string::npos)
        << error->description().UTF8String();
    EXPECT_FALSE(airport->setPower(true, nullptr));  // no error object wanted: still fails
  }
}

// IOKit's calls with PowerSourceLogind installed, as Controller and
// MySleepCallBack use them.
class PowerSourceLogindTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { bus_ = new PrivateSystemBus; }
  static void TearDownTestSuite() {
    delete bus_;
    bus_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(bus_->ok()) << bus_->error();
    logind_ = std::make_unique<MockLogind>(*bus_);
    ASSERT_TRUE(logind_->ok()) << logind_->error();
    PowerSourceLogind::Options options;
    options.logind.busAddress = bus_->address();
    options.delayLimitObserver = [this](std::optional<uint64_t> limit) {
      limits_.push_back(limit);
    };
    installPowerSource(std::make_shared<PowerSourceLogind>(options));
  }
  void TearDown() override {
    if (connection_ != 0) {
      IODeregisterForSystemPower(&notifier_);
      IOServiceClose(connection_);
      IONotificationPortDestroy(port_);
    }
    installPowerSource(nullptr);
    received_ = nullptr;
  }

  void registerNow() {
    received_ = &messages_;
    connection_ = IORegisterForSystemPower(nullptr, &port_, &record, &notifier_);
    ASSERT_NE(connection_, 0u);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port_),
                       kCFRunLoopCommonModes);
  }
  static void record(void*, io_service_t, natural_t type, void* argument) {
    received_->emplace_back(type, reinterpret_cast<intptr_t>(argument));
  }
  size_t locks() {
    size_t count = 0;
    runUntil([&] { return false; }, 50);  // let logind notice closed fds
    for (const auto& entry : logind_->inhibitors())
      count += std::get<0>(entry) == "sleep" && std::get<3>(entry) == "delay";
    return count;
  }
  bool locksBecome(size_t n) {
    return runUntil([&] { return locks() == n; });
  }

  static PrivateSystemBus* bus_;
  static inline std::vector<std::pair<natural_t, intptr_t>>* received_ = nullptr;
  std::unique_ptr<MockLogind> logind_;
  std::vector<std::pair<natural_t, intptr_t>> messages_;
  std::vector<std::optional<uint64_t>> limits_;
  io_connect_t connection_ = 0;
  IONotificationPortRef port_ = nullptr;
  io_object_t notifier_ = 0;
};
PrivateSystemBus* PowerSourceLogindTest::bus_ = nullptr;

TEST_F(PowerSourceLogindTest, WillSleepIsHeldUntilAcknowledgedOnceAndWakeRetakesTheLock) {
  registerNow();
  EXPECT_TRUE(locksBecome(1));
  ASSERT_EQ(limits_.size(), 1u);
  EXPECT_EQ(limits_[0], std::optional<uint64_t>(5000000));

  intptr_t previous = 0;
  for (int cycle = 0; cycle < 2; ++cycle) {
    SCOPED_TRACE(cycle);
    messages_.clear();
    logind_->emitPrepareForSleep(true);
    ASSERT_TRUE(runUntil([&] { return messages_.size() == 1; }));
    EXPECT_EQ(messages_[0].first, kIOMessageSystemWillSleep);
    const intptr_t id = messages_[0].second;
    EXPECT_NE(id, previous) << "each will-sleep has a fresh identifier";
    previous = id;
    EXPECT_EQ(locks(), 1u) << "held until acknowledged";

    EXPECT_EQ(IOAllowPowerChange(connection_, id + 1000), kIOReturnBadArgument);
    EXPECT_EQ(locks(), 1u);
    EXPECT_EQ(IOAllowPowerChange(connection_, id), kIOReturnSuccess);
    EXPECT_TRUE(locksBecome(0));
    EXPECT_EQ(IOAllowPowerChange(connection_, id), kIOReturnBadArgument)
        << "second acknowledgement";

    logind_->emitPrepareForSleep(false);
    ASSERT_TRUE(runUntil([&] { return messages_.size() == 2; }));
    EXPECT_EQ(messages_[1].first, kIOMessageSystemHasPoweredOn);
    EXPECT_TRUE(locksBecome(1));
  }
}

TEST_F(PowerSourceLogindTest, AStaleAcknowledgementAfterTheWakeKeepsTheNewLock) {
  registerNow();
  logind_->emitPrepareForSleep(true);
  ASSERT_TRUE(runUntil([&] { return messages_.size() == 1; }));
  logind_->emitPrepareForSleep(false);  // the sleep failed before we answered
  ASSERT_TRUE(runUntil([&] { return messages_.size() == 2; }));
  EXPECT_EQ(IOAllowPowerChange(connection_, messages_[0].second), kIOReturnBadArgument);
  EXPECT_EQ(locks(), 1u);
}

TEST_F(PowerSourceLogindTest, DeregisteringDropsTheLockEvenDuringASleep) {
  registerNow();
  logind_->emitPrepareForSleep(true);
  ASSERT_TRUE(runUntil([&] { return messages_.size() == 1; }));
  ASSERT_EQ(locks(), 1u);
  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(port_),
                        kCFRunLoopCommonModes);
  EXPECT_EQ(IODeregisterForSystemPower(&notifier_), kIOReturnSuccess);
  EXPECT_TRUE(locksBecome(0));
  IOServiceClose(connection_);
  IONotificationPortDestroy(port_);
  connection_ = 0;
}

}  // namespace
