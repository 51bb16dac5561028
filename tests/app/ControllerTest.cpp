// Controller through NSApplicationMain on the simulated platform: the start-up
// sequence (welcome, interface check, power registration, attachment), what a
// running application does, and the shut-down sequence and its order.
#include <gtest/gtest.h>

#include <functional>

#include "app/Controller.h"
#include "app/PowerHandler.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "tests/app/SimulatedPlatformFixture.h"

namespace {

const char* const kWelcome =
    "panel: Welcome! | Hushmoor will run efficiently and quietly in the background, making sure "
    "that your computer goes to sleep when you tell it to. It will also automatically add itself "
    "to the list of login items so that you don't have to do anything else!\n\nEnjoy,\nYour "
    "friends at Kestrova | OK";
const char* const kNoAirport = "panel: Error | Couldn't access airport! Hushmoor cannot run. | OK";
const char* const kNoRegistration =
    "panel: Error | Failed to register for sleep notifications. Hushmoor cannot run. | OK";
// Start-up step 2 in a private home whose login items are empty.
const char* const kAdded = "log: INFO: added self to login items";

// Records, when a registration is undone, what the shut-down had done by then.
class RecordingPowerSource : public SimulatedPowerSource {
 public:
  void deregister(uint32_t registration) override {
    ++deregistrations;
    sourceAttachedAtDeregistration =
        powerNotificationPort != nullptr &&
        CFRunLoopContainsSource(CFRunLoopGetCurrent(),
                                IONotificationPortGetRunLoopSource(powerNotificationPort),
                                kCFRunLoopCommonModes);
    defaultsFileAtDeregistration = readFile(NSUserDefaults(appBundleIdentifier(), {}).applicationDomainPath());
    SimulatedPowerSource::deregister(registration);
  }
  int deregistrations = 0;
  bool sourceAttachedAtDeregistration = true;
  std::string defaultsFileAtDeregistration;
};

struct LaunchCase {
  const char* name;
  std::vector<std::string> arguments;
  std::optional<bool> storedRanBefore;
  std::optional<long> storedSleepDelay;
  bool interfacePresent;
  bool registrationSucceeds;
  std::vector<uint32_t> postedWhileRunning;
  std::vector<std::string> events;
  bool registered;  // whether the launch got as far as the power registration
  bool ranBeforeStored = true;  // RanBefore YES on disk after the termination
};

const LaunchCase kLaunches[] = {
    {"FirstLaunchShowsTheWelcomeThenRuns", {}, std::nullopt, std::nullopt, true, true,
     {kIOMessageSystemWillSleep, kIOMessageSystemHasPoweredOn},
     {kWelcome, kAdded, "radio: off", "wait: 5", "ack: 0xE0000280", "radio: on"}, true},
    {"LaterLaunchesShowNoWelcome", {}, true, std::nullopt, true, true, {kIOMessageCanSystemSleep},
     {kAdded, "ack: 0xE0000270"}, true},
    {"FirstLaunchWithoutTheInterface", {}, std::nullopt, std::nullopt, false, true, {},
     {kWelcome, kAdded, kNoAirport}, false},
    {"LaterLaunchWithoutTheInterface", {}, true, std::nullopt, false, true, {}, {kAdded, kNoAirport},
     false},
    {"RegistrationRefused", {}, true, std::nullopt, true, false, {}, {kAdded, kNoRegistration}, false},
    {"AStoredSleepDelayOverridesTheRegisteredFive", {}, true, 7L, true, true,
     {kIOMessageSystemWillSleep}, {kAdded, "radio: off", "wait: 7", "ack: 0xE0000280"}, true},
    {"AnArgumentOverridesTheStoredValue", {"-SleepDelay", "1"}, true, 7L, true, true,
     {kIOMessageSystemWillSleep}, {kAdded, "radio: off", "wait: 1", "ack: 0xE0000280"}, true},
    {"ArgumentsMayAlsoSkipTheWelcome", {"-RanBefore", "YES"}, std::nullopt, std::nullopt, true, true,
     {}, {kAdded}, true, false},
};

class ControllerLaunchTest : public SimulatedPlatformFixture,
                             public ::testing::WithParamInterface<LaunchCase> {
 protected:
  void SetUp() override {
    SimulatedPlatformFixture::SetUp();
    installPowerSource(recording);
    recording->setAcknowledgementObserver([this](uint32_t code) {
      char text[32];
      std::snprintf(text, sizeof text, "ack: 0x%08X", code);
      events.push_back(text);
    });
  }

  // Launches the application; once it runs, `whileRunning` runs from the main
  // loop and the application is told to terminate.
  int launch(const std::vector<std::string>& arguments, std::function<void()> whileRunning) {
    std::vector<const char*> argv{"/home/u/Applications/Hushmoor.app/Contents/MacOS/Hushmoor"};
    for (const auto& a : arguments) argv.push_back(a.c_str());
    CFRunLoopSourceRef driver = CFRunLoopSourceCreateWithHandler(
        [&] {
          whileRunning();
          NSApp->terminate(nullptr);
        },
        100);
    CFRunLoopAddSource(CFRunLoopGetCurrent(), driver, kCFRunLoopCommonModes);
    CFRunLoopSourceSignal(driver);
    const int status = NSApplicationMain(static_cast<int>(argv.size()), argv.data());
    CFRunLoopSourceDestroy(driver);
    return status;
  }

  std::shared_ptr<RecordingPowerSource> recording = std::make_shared<RecordingPowerSource>();
};

TEST_P(ControllerLaunchTest, StartUpRunningAndShutDown) {
  const LaunchCase& c = GetParam();
  if (c.storedRanBefore) storeDefault("RanBefore", NSDefaultsValue{*c.storedRanBefore});
  if (c.storedSleepDelay) storeDefault("SleepDelay", NSDefaultsValue{*c.storedSleepDelay});
  wireless->setPresent(c.interfacePresent);
  recording->setRegistrationSucceeds(c.registrationSucceeds);

  bool ran = false;
  EXPECT_EQ(launch(c.arguments,
                   [&] {
                     ran = true;
                     for (uint32_t code : c.postedWhileRunning) {
                       recording->post(code);
                       runUntilIdle();
                     }
                   }),
            0);

  EXPECT_EQ(events, c.events);
  EXPECT_EQ(ran, c.registered) << "the start-up goes no further after a termination";
  // The shut-down undoes exactly what was set up, and only then.
  EXPECT_EQ(recording->deregistrations, c.registered ? 1 : 0);
  EXPECT_EQ(recording->registrationCount(), 0u);
  // RanBefore is on disk once the application has terminated, even when it
  // could not run.
  EXPECT_EQ(NSUserDefaults(appBundleIdentifier(), {}).boolForKey("RanBefore"), c.ranBeforeStored);
}

INSTANTIATE_TEST_SUITE_P(Table, ControllerLaunchTest, ::testing::ValuesIn(kLaunches),
                         [](const auto& info) { return std::string(info.param.name); });

using ControllerTest = ControllerLaunchTest;

TEST_F(ControllerTest, ShutDownStoresDefaultsThenDetachesBeforeDeregistering) {
  launch({}, [] {});
  ASSERT_EQ(recording->deregistrations, 1);
  EXPECT_FALSE(recording->sourceAttachedAtDeregistration);
  EXPECT_NE(recording->defaultsFileAtDeregistration.find("RanBefore=true"), std::string::npos);
}

TEST_F(ControllerTest, NotificationsBeforeTheLaunchReachNobodyAndLaterLaunchesStartAfresh) {
  recording->post(kIOMessageSystemWillSleep);
  // First launch: a sleep that finds the radio on.
  launch({}, [&] {
    recording->post(kIOMessageSystemWillSleep);
    runUntilIdle();
  });
  EXPECT_TRUE(airportWasOn);
  // A new process: the record of the radio is fresh, so a wake right after
  // launch switches nothing on.
  events.clear();
  resetProcessWideState();
  NSUserDefaults::resetStandardUserDefaults();
  launch({}, [&] {
    recording->post(kIOMessageSystemHasPoweredOn);
    runUntilIdle();
  });
  EXPECT_EQ(events, std::vector<std::string>{});
}

TEST_F(ControllerTest, ARefusedSelfRegistrationNeverStopsTheStartUp) {
  storeDefault("RanBefore", NSDefaultsValue{true});
  ::setenv(kSystemEventsFailureVariable, "-1743", 1);
  launch({}, [&] {
    recording->post(kIOMessageCanSystemSleep);
    runUntilIdle();
  });
  ::unsetenv(kSystemEventsFailureVariable);
  EXPECT_EQ(events, (std::vector<std::string>{
                        "log: ERROR (loginListContainsApp:N): LIAECopyLoginItems returned: -1743\n",
                        "ack: 0xE0000270"}));
  EXPECT_EQ(recording->deregistrations, 1) << "registered and attached as usual";
}

TEST_F(ControllerTest, InitRegistersTheTwoDefaults) {
  Controller controller;
  ASSERT_EQ(controller.init(), &controller);
  NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults.integerForKey("SleepDelay"), 5);
  EXPECT_EQ(defaults.objectForKey("RanBefore"), std::optional<NSDefaultsValue>(false));
}

}  // namespace
