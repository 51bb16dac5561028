// Process entry: the command's own options are answered first; otherwise the
// real machine's backends are put in place, then the arguments go unchanged
// to the application main.
#include <cstdio>

#include "app/CommandLine.h"
#include "app/PowerHandler.h"
#include "platform/appkit/NSApplication.h"
#include "platform/machine/LinuxMachine.h"

int main(int argc, const char* argv[]) {
  if (auto status = answerCommandLine(argc, argv, stdout, stderr)) return *status;
  installLinuxMachine({
      .applicationName = "Hushmoor",
      .currentSleepWait = configuredSleepWaitSeconds,
      .sleepWaitSetting = "SleepDelay",
  });
  return NSApplicationMain(argc, argv);
}
