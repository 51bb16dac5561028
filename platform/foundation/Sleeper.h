// Sleeper: the system library's `sleep`, which blocks the calling thread for
// whole seconds. Real on the real machine; the simulated machine records the
// seconds and returns at once, so nothing waits on real time in tests.
//
// A wait ends early in two cases, both of which mean that waiting longer
// would only do harm: the system has stopped waiting for the application
// (logind sleeps once its delay limit has passed, and a wait still running
// then would go on after the wake and hold the radio off), and a termination
// request (TerminationRequest.h), which must not be held up for seconds.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Blocks the calling thread for `seconds` seconds (0 returns at once), or
  // less when the system's limit or a termination request ends the wait
  // first; other signals do not end it. Returns the seconds not slept, as the
  // system call does. Main thread.
  virtual unsigned int sleepSeconds(unsigned int seconds) = 0;

  // The system goes on without the application `limit` from now (nullopt: no
  // such limit). Set by the power source when it announces a sleep, cleared
  // when that sleep is over. Main thread; does not block.
  virtual void setSystemWaitLimit(std::optional<std::chrono::milliseconds> limit) = 0;
};

// The installed sleeper (PlatformServices.h), the real one when none is.
// Main thread.
Sleeper& currentSleeper();
std::shared_ptr<Sleeper> makeRealSleeper();  // SleeperReal.cpp

namespace platform {
// The system library's sleep, through the installed sleeper: the seconds not
// slept (0 when the whole time was slept).
unsigned int sleep(unsigned int seconds);
}  // namespace platform
