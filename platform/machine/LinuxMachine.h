// The shipped executable's platform: logind, rfkill, GTK panels and the
// journal, installed before NSApplicationMain runs. The simulator and the
// tests install the simulated backends instead.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/corewlan/WirelessBackend.h"
#include "platform/iokit/PowerSource.h"

// What the platform needs to know of the application.
struct LinuxMachineOptions {
  // The program's name, as logind lists its sleep lock, the journal and the
  // log lines name it, and the process is called (at most 15 bytes count).
  std::string applicationName;
  // The seconds the application waits before a sleep with its settings as
  // they are now, and the setting that decides it: the platform warns when
  // logind would not wait that long. Asked on the main thread after each
  // power registration; must not block.
  std::function<unsigned int()> currentSleepWait;
  std::string sleepWaitSetting;
};

// Installs the Linux backends in the platform services (the sleeper and the
// process exit stay the real defaults), with the radio's guard as the
// wireless backend and its restore as the launch step. Call once on the main
// thread, before NSApplicationMain; it does not block.
void installLinuxMachine(LinuxMachineOptions options);

// The real machine's power source and radios on their own, for a report that
// must change nothing (`hushmoor --status`): no radio guard, no panels, no
// journal, nothing registered. They do not block until asked.
std::shared_ptr<PowerSource> makeLinuxPowerSource(const std::string& applicationName);
std::shared_ptr<WirelessBackend> makeLinuxRadios();
