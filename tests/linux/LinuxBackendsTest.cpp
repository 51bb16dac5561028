// The delay-limit check, and CWInterface's errors over rfkill (a fake sysfs
// tree). IOKit's calls over logind are LogindSleepInhibitorTest's, the
// backends' contracts LinuxBackendsContractTest's.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#include "app/LinuxMachine.h"
#include "platform/corewlan/CWInterface.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "tests/linux/support/FakeSysfs.h"

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
    EXPECT_EQ(logindDelayLimitProblem(c.sleepDelay, c.limitUSec).has_value(), c.problem);
  }
  auto text = logindDelayLimitProblem(0, 2500000);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("at most 2.5 s (InhibitDelayMaxSec)"), std::string::npos) << *text;
  EXPECT_NE(text->find("waits 5 s (SleepDelay)"), std::string::npos) << *text;
}

TEST(WirelessRfkill, FailuresAreErrorObjectsWithErrno) {
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
    FakeSysfs sys;
    sys.addInterface("wlan0", 3, "phy0");
    sys.addRfkill("phy0", 2, false, false);
    installWirelessBackend(std::make_shared<WirelessRfkill>(sys.paths()));
    auto airport = CWInterface::interfaceWithName("en1");
    ASSERT_TRUE(airport);
    c.arrange(sys);
    std::shared_ptr<NSError> error;
    EXPECT_FALSE(airport->setPower(true, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), NSString("NSPOSIXErrorDomain"));
    EXPECT_EQ(error->code(), c.code);
    EXPECT_NE(error->description().UTF8String().find(c.text), std::string::npos)
        << error->description().UTF8String();
    EXPECT_FALSE(airport->setPower(true, nullptr));  // no error object wanted: still fails
  }
  installWirelessBackend(nullptr);
}

}  // namespace
