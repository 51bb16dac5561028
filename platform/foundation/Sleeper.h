// Sleeper: the system library's `sleep`, which blocks the calling thread for
// whole seconds. Real on the real machine; the simulated machine records the
// seconds and returns at once, so nothing waits on real time in tests.
#pragma once

#include <memory>

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Blocks the calling thread for `seconds` seconds (0 returns at once). The
  // whole time is waited even when a signal interrupts the wait: the caller
  // holds the sleep back on purpose and must not let it go early.
  virtual void sleepSeconds(unsigned int seconds) = 0;
};

void installSleeper(std::shared_ptr<Sleeper> sleeper);  // nullptr: back to the real one
Sleeper& currentSleeper();
std::shared_ptr<Sleeper> makeRealSleeper();  // SleeperReal.cpp

namespace platform {
// The system library's sleep, through the installed sleeper. Returns 0 (the
// whole time was slept), as the system call does.
unsigned int sleep(unsigned int seconds);
}  // namespace platform
