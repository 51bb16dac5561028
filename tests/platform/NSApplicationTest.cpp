// NSApplicationMain and termination with a delegate of the test's own: the
// delegate is told of launch and termination exactly once, SIGTERM and SIGINT
// terminate in order, and panels reach the installed presenter.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSProcessInfo.h"

namespace {

std::vector<std::string> calls;
std::function<void()> onLaunch;

class RecordingDelegate : public NSApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const NSNotification&) override {
    calls.push_back("didFinishLaunching");
    if (onLaunch) onLaunch();
    calls.push_back("launch step done");
  }
  void applicationWillTerminate(const NSNotification&) override {
    calls.push_back("willTerminate");
  }
};

class NSApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    onLaunch = nullptr;
    installProcessExit(makeSimulatedProcessExit());
  }
  void TearDown() override {
    installProcessExit(nullptr);
    installAlertPresenter(nullptr);
    NSSetLogSink(nullptr);
  }
  int runMain(std::vector<const char*> argv) {
    return NSApplicationMain(static_cast<int>(argv.size()), argv.data());
  }
};

}  // namespace

NSMainInterface NSLoadMainInterface() {
  return NSMainInterface{"org.example.apptest", [] {
                           return std::make_shared<RecordingDelegate>();
                         }};
}

namespace {

// A termination signal is served by a run-loop source, as any termination
// asked for while the loop runs.
TEST_F(NSApplicationTest, TerminationTellsTheDelegateOnceAndEndsTheRunInOrder) {
  const std::vector<std::string> ranLaunch{"didFinishLaunching", "launch step done",
                                           "willTerminate"};
  struct Case {
    const char* label;
    std::function<void()> onLaunch;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"during_launch", [] { NSApp->terminate(nullptr); }, {"didFinishLaunching", "willTerminate"}},
      {"SIGTERM", [] { raise(SIGTERM); }, ranLaunch},
      {"SIGINT", [] { raise(SIGINT); }, ranLaunch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    calls.clear();
    onLaunch = c.onLaunch;
    EXPECT_EQ(runMain({"prog", "-Key", "1"}), 0);
    EXPECT_EQ(calls, c.calls);
    EXPECT_EQ(NSApp, nullptr);
  }
  EXPECT_EQ(NSProcessInfo::processInfo().arguments(),
            (std::vector<std::string>{"prog", "-Key", "1"}));
  EXPECT_EQ(NSBundle::mainBundle()->bundleIdentifier(), NSString("org.example.apptest"));
}

TEST_F(NSApplicationTest, PanelsGoToThePresenterWithTheirButtons) {
  auto presenter = std::make_shared<SimulatedAlertPresenter>();
  installAlertPresenter(presenter);
  EXPECT_EQ(NSRunAlertPanel("Title", "%d%% done: %@", "Go", "Stop", std::nullopt, 50,
                            NSString("ok")),
            NSAlertDefaultReturn);
  EXPECT_EQ(NSRunAlertPanel("Plain", "no button given", std::nullopt, std::nullopt, std::nullopt),
            NSAlertDefaultReturn);
  ASSERT_EQ(presenter->panels().size(), 2u);
  const AlertPanel& first = presenter->panels()[0];
  EXPECT_EQ(first.title, NSString("Title"));
  EXPECT_EQ(first.message, NSString("50% done: ok"));
  EXPECT_EQ(first.alternateButton, std::optional<NSString>("Stop"));
  EXPECT_FALSE(first.otherButton.has_value());
  EXPECT_EQ(defaultButtonTitle(first), NSString("Go"));
  EXPECT_EQ(defaultButtonTitle(presenter->panels()[1]), NSString("OK"));
}

TEST_F(NSApplicationTest, WithoutADisplayPanelsAreLoggedAndCountAsDismissed) {
  auto log = std::make_shared<CapturingLogSink>();
  NSSetLogSink(log);
  installAlertPresenter(makeHeadlessAlertPresenter());
  EXPECT_EQ(NSRunAlertPanel("Error", "Line one\nline two", "OK", std::nullopt, std::nullopt),
            NSAlertDefaultReturn);
  EXPECT_EQ(log->messages(), (std::vector<std::string>{"ALERT: Error: Line one\nline two [OK]"}));
}

}  // namespace
