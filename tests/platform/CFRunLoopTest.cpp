// The run loop: a signalled source is performed once, only while attached,
// and may destroy itself while it is performed.
#include <glib.h>
#include <gtest/gtest.h>

#include "platform/corefoundation/CFRunLoop.h"

namespace {

void runUntilIdle() {
  while (g_main_context_iteration(nullptr, FALSE)) continue;
}

TEST(CFRunLoopTest, SignalsAreKeptUntilTheSourceIsAttached) {
  int performed = 0;
  CFRunLoopSourceRef source = CFRunLoopSourceCreateWithHandler([&] { ++performed; });
  CFRunLoopRef loop = CFRunLoopGetCurrent();
  CFRunLoopSourceSignal(source);
  CFRunLoopSourceSignal(source);
  runUntilIdle();
  EXPECT_EQ(performed, 0) << "not attached yet";
  CFRunLoopAddSource(loop, source, kCFRunLoopCommonModes);
  runUntilIdle();
  EXPECT_EQ(performed, 1) << "a signal before attachment is kept; two signals merge";

  CFRunLoopRemoveSource(loop, source, kCFRunLoopCommonModes);
  CFRunLoopSourceSignal(source);
  runUntilIdle();
  EXPECT_EQ(performed, 1);
  CFRunLoopAddSource(loop, source, kCFRunLoopCommonModes);
  runUntilIdle();
  EXPECT_EQ(performed, 2) << "the pending signal survives removal";
  CFRunLoopSourceDestroy(source);
}

// As a port does when the handler it delivers to destroys it (the sanitizers
// see any use after free or leak).
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
  EXPECT_EQ(performed, 1);
}

}  // namespace
