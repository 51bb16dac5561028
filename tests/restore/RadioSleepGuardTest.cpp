// The record of a radio switched off for a sleep: kept from the switch-off to
// the wake, and honoured (or refused) by the next launch on the rfkill backend.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "app/PowerHandler.h"
#include "platform/corewlan/RadioSleepGuard.h"
#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/machine/ScopedSimulatedBackends.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

class RadioSleepGuardTest : public ::testing::Test {
 protected:
  bool recordExists() const { return std::filesystem::exists(RadioSleepRecord::path()); }

  TemporaryUserEnvironment home;  // the record lands in its ~/.local/state
  std::shared_ptr<LogSinkCapture> log = std::make_shared<LogSinkCapture>();
  ScopedPlatformServices services{{.logSink = log}};
};

struct LaunchCase {  // record "" for none; logged: a pattern of the log lines joined by "\n"
  const char* what;
  std::string record;
  bool soft, hard, unblocked, kept;
  const char* logged;
};

std::string record(const std::string& interface, const std::string& bootId) {
  return "[Radio off for sleep]\nInterface=" + interface +
         "\nDevice=wlan0 (phy0, rfkill0)\nBootId=" + bootId + "\nTime=1700000000\n";
}

TEST_F(RadioSleepGuardTest, ALaunchSwitchesOnARadioLeftSoftBlockedAndKeepsTheRecordWhileItCannot) {
  const std::string boot = RadioSleepRecord::currentBootId();
  const char* restored = "INFO: switched the radio back on after an unfinished sleep";
  const char* unreadable =
      R"(WARN \(restoreAfterUnfinishedSleep:\d+\): removing .*/\.local/state/hushmoor/radio-off-for-sleep, which is not a readable record of an unfinished sleep: .+)";
  // The fake /dev/rfkill is a plain file: the wait for the radio says it
  // cannot watch, as it would without access to the device.
  const std::string unwatched =
      R"(\nWARN \(watchRadios:\d+\): the radio is switched back on at the next wake or launch, not before: cannot watch .*rfkill: not a device)";
  const std::string held =
      "INFO: the radio Hushmoor switched off for a sleep is held off by its "
      "hardware switch; it is switched back on when the switch is released" +
      unwatched;
  const std::string absent =
      "INFO: the radio Hushmoor switched off for a sleep is not there; it "
      "is switched back on when it comes back" +
      unwatched;
  const LaunchCase cases[] = {
      {"no record", "", true, false, false, false, ""},
      {"left off", record("en1", boot), true, false, true, false, restored},
      {"left off in an earlier boot", record("en1", "0ab5"), true, false, true, false, restored},
      {"hardware switch off", record("en1", boot), true, true, false, true, held.c_str()},
      {"switched on since", record("en1", boot), false, false, false, false, ""},
      {"switched on since, hardware switch off", record("en1", boot), false, true, false, false,
       ""},
      {"interface gone", record("wlan7", boot), true, false, false, true, absent.c_str()},
      {"garbage", "\x01\x7f\xfe\n= =\n", true, false, false, false, unreadable},
      {"cut short", record("en1", boot).substr(0, 60), true, false, false, false, unreadable},
      {"empty", "\n", true, false, false, false, unreadable},
      {"a FIFO nobody writes", "FIFO", true, false, false, true,
       R"(WARN \(reportRecordProblem:\d+\): the radio stays off .*: not a regular file, left unread)"},
  };
  for (const LaunchCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSysfs sys;
    sys.add("wlan0", 3, "phy0", 0);
    sys.setBlocks("phy0", 0, c.soft, c.hard);
    RadioSleepGuard guard(std::make_shared<WirelessRfkill>(sys.paths()));
    const std::filesystem::path path = RadioSleepRecord::path();
    std::filesystem::create_directories(path.parent_path());
    std::filesystem::remove(path);
    if (c.record == "FIFO") ::mkfifo(path.c_str(), 0600);
    else if (!c.record.empty()) writeFile(path, c.record);
    // What a write cut short by a crash leaves; the launch removes it.
    writeFile(path.string() + ".Ab3dE9", "[Radio off");
    log->clear();

    guard.restoreAfterUnfinishedSleep();

    const std::vector<unsigned char> unblock{0, 0, 0, 0, 1, 2, 0, 0};  // rfkill0, wlan, change
    EXPECT_EQ(sys.takeWritten(), c.unblocked ? unblock : decltype(unblock){});
    std::string logged;
    for (const std::string& line : log->messages()) logged += (logged.empty() ? "" : "\n") + line;
    EXPECT_TRUE(std::regex_match(logged, std::regex(c.logged))) << logged;
    EXPECT_EQ(recordExists(), c.kept);
    EXPECT_FALSE(std::filesystem::exists(path.string() + ".Ab3dE9"));
  }
}

// Two nights of the application; the other cases are in the radio-record scenario.
TEST_F(RadioSleepGuardTest, TheRecordBracketsTheRadioOffAndAnUnusableFolderWarnsOncePerRun) {
  ScopedSimulatedBackends machine(std::make_shared<PowerSourceSim>(), true);
  RadioSleepGuard* guard = machine.guard.get();
  std::vector<bool> recordedAtSwitch;
  machine.wireless->setPowerObserver([&](bool) { recordedAtSwitch.push_back(recordExists()); });
  powerConnection =
      IORegisterForSystemPower(nullptr, &powerNotificationPort, MySleepCallBack, &powerNotifier);
  CFRunLoopAddSource(CFRunLoopGetCurrent(),
                     IONotificationPortGetRunLoopSource(powerNotificationPort),
                     kCFRunLoopCommonModes);
  const auto night = [&] {
    for (uint32_t code : {kIOMessageSystemWillSleep, kIOMessageSystemHasPoweredOn}) {
      machine.power->post(code);
      while (g_main_context_iteration(nullptr, FALSE)) continue;
    }
  };
  night();
  EXPECT_EQ(recordedAtSwitch, (std::vector<bool>{true, true}))
      << "written before it goes off, removed after it is on";
  EXPECT_FALSE(recordExists());

  const std::filesystem::path folder =
      std::filesystem::path(RadioSleepRecord::path()).parent_path();
  std::filesystem::remove_all(folder);
  writeFile(folder, "not a folder");
  guard->restoreAfterUnfinishedSleep();
  night();
  ASSERT_EQ(machine.log->messages().size(), 1u);
  EXPECT_TRUE(std::regex_match(
      machine.log->messages()[0],
      std::regex(
          R"(WARN \(reportRecordProblem:\d+\): the radio stays off if Hushmoor ends between a sleep and its wake: .*Not a directory)")))
      << machine.log->messages()[0];
  EXPECT_TRUE(machine.wireless->radio()) << "the night itself goes on";
  IOServiceClose(powerConnection);
  IONotificationPortDestroy(powerNotificationPort);
  resetProcessWideStateForTesting();
  std::filesystem::remove(folder);
}

}  // namespace
