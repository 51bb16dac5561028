// Ending the process: for real, or only the simulated launch.
#include "platform/appkit/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

#include "platform/foundation/PlatformServices.h"

namespace {
class RealProcessExit : public ProcessExit {
 public:
  [[noreturn]] void exitProcess(int status) override { std::exit(status); }
};
class SimulatedLaunchExit : public ProcessExit {
 public:
  [[noreturn]] void exitProcess(int status) override { throw SimulatedProcessExit{status}; }
};
}  // namespace

ProcessExit& currentProcessExit() {
  return PlatformServices::use(&PlatformServices::processExit, makeRealProcessExit);
}

std::shared_ptr<ProcessExit> makeRealProcessExit() { return std::make_shared<RealProcessExit>(); }
std::shared_ptr<ProcessExit> makeSimulatedProcessExit() {
  return std::make_shared<SimulatedLaunchExit>();
}
