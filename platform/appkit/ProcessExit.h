// ProcessExit: how `NSApp terminate:` ends the process once the delegate has
// been told. The real machine exits; the simulated machine ends only the
// current launch (the simulator goes on and may launch the application again).
#pragma once

#include <memory>

class ProcessExit {
 public:
  virtual ~ProcessExit() = default;
  // Ends the process (or the simulated launch) with `status`; never returns.
  // The simulated backend throws SimulatedProcessExit, which
  // NSApplicationMain catches to end the launch.
  [[noreturn]] virtual void exitProcess(int status) = 0;
};

// What the simulated backend throws; only NSApplicationMain and the run loop's
// dispatch catch it.
struct SimulatedProcessExit {
  int status;
};

// The installed way out (PlatformServices.h), the real exit when none is.
ProcessExit& currentProcessExit();
std::shared_ptr<ProcessExit> makeRealProcessExit();
std::shared_ptr<ProcessExit> makeSimulatedProcessExit();
