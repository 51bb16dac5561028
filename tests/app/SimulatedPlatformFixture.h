// A test fixture with the application's platform on simulated hardware, a
// throw-away home, and every observable event recorded as one line in
// hushmoor-sim's form ("radio: off", "wait: 5", "ack: 0xE0000280", "log: ...",
// "panel: ..."). Source line numbers in located log lines read "N", so that
// the tables do not break when a file is edited. A launch registers the
// application in the login items of a private home, through a System Events
// of the build tree that the fixture stops afterwards.
#pragma once

#include <glib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/PowerHandler.h"
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"
#include "tests/platform/TempHome.h"
#include "tests/support/TemporaryUserEnvironment.h"

// The application's own identifier (its main interface names it), so that
// the defaults a launch uses are the ones the test stores.
inline std::string appBundleIdentifier() { return NSLoadMainInterface().bundleIdentifier; }

class SimulatedPlatformFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    power->setAcknowledgementObserver([this](uint32_t code) {
      char text[32];
      std::snprintf(text, sizeof text, "ack: 0x%08X", code);
      events.push_back(text);
    });
    wireless->setPowerObserver(
        [this](bool on) { events.push_back(on ? "radio: on" : "radio: off"); });
    sleeper->setSleepObserver(
        [this](unsigned int s) { events.push_back("wait: " + std::to_string(s)); });
    alerts->setPanelObserver([this](const AlertPanel& panel, const NSString& button) {
      events.push_back("panel: " + panel.title.UTF8String() + " | " + panel.message.UTF8String() +
                       " | " + button.UTF8String());
    });
    log->setMessageObserver([this](std::string_view message) {
      static const std::regex located(R"(^(WARN|ERROR) \((\w+):\d+\))");
      events.push_back("log: " + std::regex_replace(std::string(message), located, "$1 ($2:N)"));
    });
    installPowerSource(power);
    installWirelessBackend(wireless);
    installSleeper(sleeper);
    installAlertPresenter(alerts);
    installProcessExit(makeSimulatedProcessExit());
    NSSetLogSink(log);
    NSBundle::setMainBundleIdentifier(NSString::stringWithUTF8String(appBundleIdentifier()));
    std::filesystem::create_directories(bundlePath() + "/Contents/MacOS");
    NSBundle::setMainBundlePath(NSString::stringWithUTF8String(bundlePath()));
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideState();
  }

  // The application's bundle, in a folder whose name has a space.
  std::string bundlePath() const { return userEnvironment.root() + "/My Apps/Hushmoor.app"; }

  void TearDown() override {
    installPowerSource(nullptr);
    installWirelessBackend(nullptr);
    installSleeper(nullptr);
    installAlertPresenter(nullptr);
    installProcessExit(nullptr);
    NSSetLogSink(nullptr);
    NSBundle::setMainBundleIdentifier("");
    NSBundle::setMainBundlePath("");
    NSUserDefaults::resetStandardUserDefaults();
  }

  static void runUntilIdle() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
  }

  // What another process (the user's defaults tool) stores.
  static void storeDefault(const std::string& key, std::optional<NSDefaultsValue> value) {
    NSUserDefaults tool(appBundleIdentifier(), {});
    if (!value)
      tool.removeObjectForKey(key);
    else if (const bool* b = std::get_if<bool>(&*value))
      tool.setBool(*b, key);
    else
      tool.setInteger(std::get<long>(*value), key);
    ASSERT_TRUE(tool.synchronize());
  }

  TempHome home;
  TemporaryUserEnvironment userEnvironment;
  std::shared_ptr<SimulatedPowerSource> power = std::make_shared<SimulatedPowerSource>();
  std::shared_ptr<SimulatedWirelessBackend> wireless = std::make_shared<SimulatedWirelessBackend>();
  std::shared_ptr<SimulatedSleeper> sleeper = std::make_shared<SimulatedSleeper>();
  std::shared_ptr<SimulatedAlertPresenter> alerts = std::make_shared<SimulatedAlertPresenter>();
  std::shared_ptr<CapturingLogSink> log = std::make_shared<CapturingLogSink>();
  std::vector<std::string> events;
};
