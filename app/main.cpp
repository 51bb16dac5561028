// Process entry: the command's own options are answered first; otherwise the
// real machine's backends are put in place, then the arguments go unchanged
// to the application main.
#include <cstdio>

#include "app/CommandLine.h"
#include "app/PowerHandler.h"
#include "app/StatusReport.h"
#include "platform/appkit/NSApplication.h"
#include "platform/foundation/NSBundle.h"
#include "platform/machine/LinuxMachine.h"

namespace {

// `hushmoor --status`, from the real machine's power source and radios.
int printStatus(std::FILE* out) {
  const auto bundle = NSBundle::mainBundle();
  const StatusReport report =
      makeStatusReport(NSLoadMainInterface().bundleIdentifier,
                       bundle ? bundle->bundlePath().UTF8String() : std::string(),
                       *makeLinuxPowerSource("Hushmoor"), *makeLinuxRadios());
  for (const std::string& line : report.lines) std::fprintf(out, "%s\n", line.c_str());
  return report.healthy ? 0 : 1;
}

}  // namespace

int main(int argc, const char* argv[]) {
  if (auto status = answerCommandLine(argc, argv, stdout, stderr, printStatus)) return *status;
  installLinuxMachine({
      .applicationName = "Hushmoor",
      .currentSleepWait = configuredSleepWaitSeconds,
      .sleepWaitSetting = "SleepDelay",
  });
  return NSApplicationMain(argc, argv);
}
