// MySleepCallBack through the simulated platform: every notification code,
// the radio on, off or absent, failing power requests and SleepDelay values.
#include <gtest/gtest.h>

#include "app/Controller.h"
#include "app/PowerHandler.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "tests/app/SimulatedPlatformFixture.h"

namespace {

const char* const kNoInterface = "log: WARN (MySleepCallBack:N): couldn't get interface to 'en1'";
const char* const kOffFailed =
    "log: WARN (MySleepCallBack:N): error trying to turn airport off: "
    "Error Domain=NSPOSIXErrorDomain Code=5 \"Input/output error\"";
const char* const kOnFailed =
    "log: WARN (MySleepCallBack:N): error trying to turn airport on: "
    "Error Domain=NSPOSIXErrorDomain Code=5 \"Input/output error\"";
const char* const kOnFailedNoError =
    "log: WARN (MySleepCallBack:N): error trying to turn airport on: (null)";

struct HandlerCase {
  const char* name;
  // Steps: "sleep", "can-sleep", "wake", "0x...": a notification; "radio on",
  // "radio off", "absent": the hardware; "fail-off", "fail-on", "ok": power
  // request failures; "delay N" / "delay none": the stored SleepDelay.
  std::vector<std::string> steps;
  std::vector<std::string> events;
  bool airportWasOnAfter;
};

const HandlerCase kCases[] = {
    {"WillSleepWithTheRadioOnWaitsTheRegisteredFiveSeconds",
     {"sleep"}, {"radio: off", "wait: 5", "ack: 0xE0000280"}, true},
    {"SleepDelayZeroMeansFive", {"delay 0", "sleep"}, {"radio: off", "wait: 5", "ack: 0xE0000280"}, true},
    {"SleepDelayOne", {"delay 1", "sleep"}, {"radio: off", "wait: 1", "ack: 0xE0000280"}, true},
    {"NegativeSleepDelayIsTakenAsZero",
     {"delay -3", "sleep"}, {"radio: off", "wait: 5", "ack: 0xE0000280"}, true},
    {"SleepDelayChangedWhileRunningAppliesAtTheNextSleep",
     {"sleep", "wake", "delay 2", "sleep", "wake", "delay none", "sleep"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", "radio: on", "radio: off", "wait: 2",
      "ack: 0xE0000280", "radio: on", "radio: off", "wait: 5", "ack: 0xE0000280"},
     true},
    {"WakeSwitchesTheRadioBackOn",
     {"sleep", "wake"}, {"radio: off", "wait: 5", "ack: 0xE0000280", "radio: on"}, true},
    {"EachWakeAfterOneSleepRequestsPowerOn",
     {"sleep", "wake", "wake"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", "radio: on", "radio: on"}, true},
    {"RadioOffAtSleepIsAcknowledgedAtOnceAndStaysOffAfterWake",
     {"radio off", "sleep", "wake"}, {"ack: 0xE0000280"}, false},
    {"WakeWithoutAnEarlierSleepChangesNothing", {"wake"}, {}, false},
    {"ANewSleepWithTheRadioOffForgetsThatItWasOn",
     {"sleep", "radio off", "sleep", "wake"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", "ack: 0xE0000280"}, false},
    {"CanSleepIsAcknowledgedWithoutTouchingTheRadioOrTheRecord",
     {"sleep", "can-sleep", "wake"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", "ack: 0xE0000270", "radio: on"}, true},
    {"CanSleepAloneKeepsTheRecordFalse", {"can-sleep", "wake"}, {"ack: 0xE0000270"}, false},
    {"PowerOffFailsWarnsDoesNotWaitAndStillAcknowledges",
     {"fail-off", "sleep", "ok", "wake"},
     {kOffFailed, "ack: 0xE0000280", "radio: on"}, true},
    {"PowerOnFailsWarnsOnceWithoutRetry",
     {"sleep", "fail-on", "wake"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", kOnFailed}, true},
    {"OtherCodesChangeNothingAndAreNotAcknowledged",
     {"sleep", "0xE0000320", "0xE0000290", "0x00000000", "0xFFFFFFFF"},
     {"radio: off", "wait: 5", "ack: 0xE0000280"}, true},
    {"NoInterfaceWarnsOnEveryNotificationAndStillAcknowledges",
     {"absent", "can-sleep", "sleep", "wake", "0xE0000320"},
     {kNoInterface, "ack: 0xE0000270", kNoInterface, "ack: 0xE0000280", kNoInterface,
      kNoInterface},
     false},
    {"InterfaceGoneAtWakeAfterASleepThatFoundTheRadioOn",
     {"sleep", "absent", "wake"},
     {"radio: off", "wait: 5", "ack: 0xE0000280", kNoInterface, kOnFailedNoError}, true},
};

class PowerHandlerTest : public SimulatedPlatformFixture,
                         public ::testing::WithParamInterface<HandlerCase> {
 protected:
  void SetUp() override {
    SimulatedPlatformFixture::SetUp();
    ASSERT_NE(controller.init(), nullptr);
    powerConnection = IORegisterForSystemPower(&powerNotificationPort, &powerNotificationPort,
                                               MySleepCallBack, &powerNotifier);
    ASSERT_NE(powerConnection, 0u);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), IONotificationPortGetRunLoopSource(powerNotificationPort),
                       kCFRunLoopCommonModes);
  }
  void TearDown() override {
    controller.applicationWillTerminate(NSNotification{});
    SimulatedPlatformFixture::TearDown();
  }

  void step(const std::string& s) {
    if (s == "sleep") post(kIOMessageSystemWillSleep);
    else if (s == "can-sleep") post(kIOMessageCanSystemSleep);
    else if (s == "wake") post(kIOMessageSystemHasPoweredOn);
    else if (s.rfind("0x", 0) == 0) post(static_cast<uint32_t>(std::stoul(s, nullptr, 16)));
    else if (s == "radio on") { wireless->setPresent(true); wireless->setRadio(true); }
    else if (s == "radio off") { wireless->setPresent(true); wireless->setRadio(false); }
    else if (s == "absent") wireless->setPresent(false);
    else if (s == "fail-off") wireless->setFailPowerOff(true);
    else if (s == "fail-on") wireless->setFailPowerOn(true);
    else if (s == "ok") { wireless->setFailPowerOff(false); wireless->setFailPowerOn(false); }
    else if (s == "delay none") storeDefault("SleepDelay", std::nullopt);
    else if (s.rfind("delay ", 0) == 0) storeDefault("SleepDelay", NSDefaultsValue{std::stol(s.substr(6))});
    else FAIL() << "unknown step " << s;
  }
  void post(uint32_t code) {
    power->post(code);
    runUntilIdle();
  }

  Controller controller;
};

TEST_P(PowerHandlerTest, Events) {
  const HandlerCase& c = GetParam();
  for (const std::string& s : c.steps) step(s);
  EXPECT_EQ(events, c.events);
  EXPECT_EQ(airportWasOn, c.airportWasOnAfter);
  EXPECT_EQ(power->unacknowledgedCount(), 0u) << "every will-sleep and can-sleep is answered";
}

INSTANTIATE_TEST_SUITE_P(Table, PowerHandlerTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SleepDelayTest, SecondsForEachStoredValue) {
  const std::pair<long, unsigned int> cases[] = {
      {0, 5}, {1, 1}, {5, 5}, {-1, 5}, {-100000, 5}, {3600, 3600}, {LONG_MAX, UINT_MAX}};
  for (const auto& [stored, seconds] : cases) EXPECT_EQ(sleepDelaySeconds(stored), seconds) << stored;
}

}  // namespace
