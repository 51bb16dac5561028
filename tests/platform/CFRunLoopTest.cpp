// The run loop: signalled sources are performed once each, in order, only while
// attached, and an exception a source lets out stops the loop instead of
// unwinding through GLib.
#include <glib.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/corefoundation/CFRunLoop.h"

namespace {

void runUntilIdle() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST(CFRunLoopTest, SignalsAreMergedAndPerformedOnlyWhileAttached) {
  int performed = 0;
  CFRunLoopSourceRef source = CFRunLoopSourceCreateWithHandler([&] { ++performed; });
  CFRunLoopSourceSignal(source);
  CFRunLoopSourceSignal(source);
  runUntilIdle();
  EXPECT_EQ(performed, 0) << "not attached yet";

  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
  EXPECT_TRUE(CFRunLoopContainsSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes));
  runUntilIdle();
  EXPECT_EQ(performed, 1) << "a signal before attachment is kept; two signals merge";

  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
  CFRunLoopRemoveSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
  EXPECT_FALSE(CFRunLoopContainsSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes));
  CFRunLoopSourceSignal(source);
  runUntilIdle();
  EXPECT_EQ(performed, 1);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
  runUntilIdle();
  EXPECT_EQ(performed, 2) << "the pending signal survives removal";
  CFRunLoopSourceDestroy(source);
}

TEST(CFRunLoopTest, LowerOrderSourcesGoFirst) {
  std::vector<std::string> order;
  CFRunLoopSourceRef late = CFRunLoopSourceCreateWithHandler([&] { order.push_back("late"); }, 100);
  CFRunLoopSourceRef early = CFRunLoopSourceCreateWithHandler([&] { order.push_back("early"); });
  CFRunLoopAddSource(CFRunLoopGetCurrent(), late, kCFRunLoopCommonModes);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), early, kCFRunLoopCommonModes);
  CFRunLoopSourceSignal(late);
  CFRunLoopSourceSignal(early);
  runUntilIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"early", "late"}));
  CFRunLoopSourceDestroy(late);
  CFRunLoopSourceDestroy(early);
}

TEST(CFRunLoopTest, ASourceMayDestroyItselfWhilePerformed) {
  CFRunLoopSourceRef source = nullptr;
  int performed = 0;
  source = CFRunLoopSourceCreateWithHandler([&] {
    ++performed;
    CFRunLoopSourceDestroy(source);
  });
  CFRunLoopAddSource(CFRunLoopGetCurrent(), source, kCFRunLoopCommonModes);
  CFRunLoopSourceSignal(source);
  runUntilIdle();
  EXPECT_EQ(performed, 1);  // and the sanitizers see no use after free or leak
}

// (The product never stops the loop with CFRunLoopStop: it ends by an
// exception out of a source, as NSApp's termination does.)
TEST(CFRunLoopTest, RunRethrowsWhatASourceLetOut) {
  CFRunLoopSourceRef thrower =
      CFRunLoopSourceCreateWithHandler([] { throw std::runtime_error("out of the handler"); });
  CFRunLoopAddSource(CFRunLoopGetCurrent(), thrower, kCFRunLoopCommonModes);
  CFRunLoopSourceSignal(thrower);
  EXPECT_THROW(CFRunLoopRun(), std::runtime_error);
  CFRunLoopSourceDestroy(thrower);
}

}  // namespace
