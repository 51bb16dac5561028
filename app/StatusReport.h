// `hushmoor --status`: whether Hushmoor does its job for this user, on one
// screen, from what the machine and the user's files say now. Making it starts
// nothing (no System Events, no panel), takes no lock, writes no file and
// switches no radio; the power source is asked with a connection of its own.
#pragma once

#include <string>
#include <vector>

#include "platform/corewlan/WirelessBackend.h"
#include "platform/iokit/PowerSource.h"

struct StatusReport {
  // "Label: text" lines, in this order: the running copy, its sleep lock,
  // the power service's limit, the wait before a sleep, the radio, the
  // radio record, the login item.
  std::vector<std::string> lines;
  // A copy runs with its sleep lock and no radio waits to be switched back on.
  bool healthy = false;
};

// Gathers the report for the application `bundleIdentifier` whose bundle is
// at `bundlePath`, asking `power` and `radios` (the machine's own, not the
// running copy's). Blocks for about a second at most when the power service
// does not answer. Main thread; before NSApplicationMain, or from a script
// command of the simulated machine.
StatusReport makeStatusReport(const std::string& bundleIdentifier, const std::string& bundlePath,
                              const PowerSource& power, WirelessBackend& radios);
