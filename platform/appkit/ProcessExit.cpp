// Ending the process: for real, or only the simulated launch.
#include "platform/appkit/ProcessExit.h"

#include <cstdio>
#include <cstdlib>

namespace {
class RealProcessExit : public ProcessExit {
 public:
  [[noreturn]] void exitProcess(int status) override { std::exit(status); }
};
class SimulatedLaunchExit : public ProcessExit {
 public:
  [[noreturn]] void exitProcess(int status) override { throw SimulatedProcessExit{status}; }
};

std::shared_ptr<ProcessExit>& installed() {
  static std::shared_ptr<ProcessExit> exiter;
  return exiter;
}
}  // namespace

void installProcessExit(std::shared_ptr<ProcessExit> exiter) { installed() = std::move(exiter); }

ProcessExit& currentProcessExit() {
  if (!installed()) installed() = makeRealProcessExit();
  return *installed();
}

std::shared_ptr<ProcessExit> makeRealProcessExit() { return std::make_shared<RealProcessExit>(); }
std::shared_ptr<ProcessExit> makeSimulatedProcessExit() {
  return std::make_shared<SimulatedLaunchExit>();
}
