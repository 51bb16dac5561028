// The record of a radio switched off for a sleep: kept from the switch-off to
// the wake, and honoured (or refused) by the next launch on the rfkill backend.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "app/PowerHandler.h"
#include "platform/corewlan/RadioSleepGuard.h"
#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/foundation/LogSinkCapture.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/ScopedSimulatedBackends.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

class RadioSleepGuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("XDG_STATE_HOME");  // so the record lands in ~/.local/state of `home`
    NSSetLogSink(log);
  }
  void TearDown() override {
    installWirelessBackend(nullptr);
    NSSetLogSink(nullptr);
  }
  bool recordExists() const { return std::filesystem::exists(RadioSleepRecord::path()); }

  TemporaryUserEnvironment home;
  std::shared_ptr<CapturingLogSink> log = std::make_shared<CapturingLogSink>();
};

struct LaunchCase {  // record "" for none; logged: the one log line's pattern, "" for none
  const char* what;
  std::string record;
  bool soft, hard, unblocked;
  const char* logged;
};

std::string record(const std::string& interface, const std::string& bootId) {
  return "[Radio off for sleep]\nInterface=" + interface +
         "\nDevice=rfkill0 of wlan0 (phy0)\nBootId=" + bootId + "\nTime=1700000000\n";
}

TEST_F(RadioSleepGuardTest, ALaunchSwitchesOnOnlyARadioLeftSoftBlockedAndAlwaysRemovesTheRecord) {
  const std::string boot = RadioSleepRecord::currentBootId();
  const char* restored = "INFO: switched the radio back on after an unfinished sleep";
  const char* unreadable =
      R"(WARN \(restoreAfterUnfinishedSleep:\d+\): removing .*/\.local/state/hushmoor/radio-off-for-sleep, which is not a readable record of an unfinished sleep: .+)";
  const LaunchCase cases[] = {
      {"no record", "", true, false, false, ""},
      {"left off", record("en1", boot), true, false, true, restored},
      {"left off in an earlier boot", record("en1", "0ab5"), true, false, true, restored},
      {"hardware switch off", record("en1", boot), true, true, false, ""},
      {"switched on since", record("en1", boot), false, false, false, ""},
      {"interface gone", record("wlan7", boot), true, false, false, ""},
      {"garbage", "\x01\x7f\xfe\n= =\n", true, false, false, unreadable},
      {"cut short", record("en1", boot).substr(0, 60), true, false, false, unreadable},
      {"empty", "\n", true, false, false, unreadable},
  };
  for (const LaunchCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSysfs sys;
    sys.add("wlan0", 3, "phy0", 0);
    sys.setBlocks("phy0", 0, c.soft, c.hard);
    installWirelessBackend(std::make_shared<WirelessRfkill>(sys.paths()));
    if (!c.record.empty()) {
      std::filesystem::create_directories(
          std::filesystem::path(RadioSleepRecord::path()).parent_path());
      writeFile(RadioSleepRecord::path(), c.record);
    }
    log->clear();

    RadioSleepGuard::shared().restoreAfterUnfinishedSleep();

    const std::vector<unsigned char> unblock{0, 0, 0, 0, 1, 2, 0, 0};  // rfkill0, wlan, change
    EXPECT_EQ(sys.takeWritten(), c.unblocked ? unblock : decltype(unblock){});
    ASSERT_EQ(log->messages().size(), c.logged[0] ? 1u : 0u);
    for (const std::string& line : log->messages())
      EXPECT_TRUE(std::regex_match(line, std::regex(c.logged))) << line;
    EXPECT_FALSE(recordExists());
  }
}

TEST_F(RadioSleepGuardTest, TheRecordLastsFromTheSwitchOffForASleepToAWakeThatEndsIt) {
  ScopedSimulatedBackends machine;
  const auto& wireless = machine.wireless;
  std::vector<bool> recordedAtSwitch;
  wireless->setPowerObserver([&](bool) { recordedAtSwitch.push_back(recordExists()); });
  powerConnection =
      IORegisterForSystemPower(nullptr, &powerNotificationPort, MySleepCallBack, &powerNotifier);
  CFRunLoopAddSource(CFRunLoopGetCurrent(),
                     IONotificationPortGetRunLoopSource(powerNotificationPort),
                     kCFRunLoopCommonModes);
  const auto handle = [&](uint32_t code) {
    machine.power->post(code);
    while (g_main_context_iteration(nullptr, FALSE)) continue;
    return recordExists();
  };
  EXPECT_TRUE(handle(kIOMessageSystemWillSleep));
  wireless->setFailPowerOn(true);
  EXPECT_TRUE(handle(kIOMessageSystemHasPoweredOn)) << "kept while the radio is still off";
  wireless->setFailPowerOn(false);
  EXPECT_TRUE(handle(kIOMessageSystemWillSleep)) << "the radio was off: nothing switched";
  EXPECT_FALSE(handle(kIOMessageSystemHasPoweredOn)) << "a wake with nothing to switch on";
  wireless->setRadio(true);
  EXPECT_TRUE(handle(kIOMessageSystemWillSleep));
  EXPECT_FALSE(handle(kIOMessageSystemHasPoweredOn)) << "the radio is back on";
  EXPECT_EQ(recordedAtSwitch, (std::vector<bool>{true, true, true}))
      << "written before it goes off";
  IOServiceClose(powerConnection);
  IONotificationPortDestroy(powerNotificationPort);
  resetProcessWideState();
}

}  // namespace
