// NSApplicationMain with a delegate of the test's own: a termination, asked
// for during the launch or by a signal while the loop runs (SIGTERM is the
// end-to-end tests'), tells the delegate once and ends the run. (Panels
// without a display: the GTK presenter's tests and the end-to-end ones.)
#include <gtest/gtest.h>
#include <signal.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/appkit/NSApplication.h"
#include "platform/machine/ScopedSimulatedBackends.h"

namespace {

std::vector<std::string> calls;
std::function<void()> onLaunch;

class RecordingDelegate : public NSApplicationDelegate {
 public:
  void applicationDidFinishLaunching(const NSNotification&) override {
    calls.push_back("didFinishLaunching");
    onLaunch();
    calls.push_back("launch step done");
  }
  void applicationWillTerminate(const NSNotification&) override {
    calls.push_back("willTerminate");
  }
};

}  // namespace

NSMainInterface NSLoadMainInterface() {
  return NSMainInterface{"org.example.apptest",
                         [] { return std::make_shared<RecordingDelegate>(); }};
}

namespace {

TEST(NSApplicationTest, TerminationTellsTheDelegateOnceAndEndsTheRun) {
  ScopedSimulatedBackends backends;
  const std::pair<std::function<void()>, std::vector<std::string>> cases[] = {
      {[] { NSApp->terminate(nullptr); }, {"didFinishLaunching", "willTerminate"}},
      {[] { raise(SIGINT); }, {"didFinishLaunching", "launch step done", "willTerminate"}},
  };
  for (const auto& [terminate, expected] : cases) {
    calls.clear();
    onLaunch = terminate;
    const char* argv[] = {"prog"};
    EXPECT_EQ(NSApplicationMain(1, argv), 0);
    EXPECT_EQ(calls, expected);
  }
}

}  // namespace
