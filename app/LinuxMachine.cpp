// Wires the Linux backends into the platform seams.
#include "app/LinuxMachine.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/PowerHandler.h"
#include "platform/appkit/AlertPresenterGtk.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/foundation/LogSinkJournal.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/iokit/PowerSourceLogind.h"

namespace {

// Time for switching the radio off and for the process to be scheduled
// around the wait; one second is plenty on any laptop.
constexpr uint64_t kMarginUSec = 1000000;

// The end-to-end tests run the real executable against a fake sysfs tree and
// a fake /dev/rfkill under this folder (<root>/sys, <root>/dev/rfkill). It
// only redirects where the radio is looked for; nothing else reads it.
RfkillPaths rfkillPaths() {
  RfkillPaths paths;
  const char* root = std::getenv("HUSHMOOR_TEST_ROOT");
  if (root != nullptr && root[0] == '/') {
    paths.sysfsRoot = std::string(root) + "/sys";
    paths.devicePath = std::string(root) + "/dev/rfkill";
  }
  return paths;
}

std::string seconds(uint64_t usec) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(usec) / 1e6);
  return text;
}

}  // namespace

std::optional<std::string> logindDelayLimitProblem(long sleepDelay,
                                                   std::optional<uint64_t> inhibitDelayMaxUSec) {
  if (!inhibitDelayMaxUSec) return std::nullopt;
  const uint64_t wait = sleepDelaySeconds(sleepDelay);
  if (wait * 1000000 + kMarginUSec <= *inhibitDelayMaxUSec) return std::nullopt;
  return "systemd-logind holds a sleep back at most " + seconds(*inhibitDelayMaxUSec) +
         " s (InhibitDelayMaxSec), but Hushmoor waits " + std::to_string(wait) +
         " s (SleepDelay) plus about 1 s, so the machine may sleep before the wait is over; "
         "lower SleepDelay or raise InhibitDelayMaxSec (see the README)";
}

void warnAboutLogindDelayLimit(std::optional<uint64_t> inhibitDelayMaxUSec) {
  const long sleepDelay = NSUserDefaults::standardUserDefaults().integerForKey("SleepDelay");
  if (auto problem = logindDelayLimitProblem(sleepDelay, inhibitDelayMaxUSec))
    NSLog("WARN (%s:%d): %s", __func__, __LINE__, *problem);
}

void installLinuxMachine() {
  NSSetLogSink(makeJournalLogSink());
  installWirelessBackend(std::make_shared<WirelessRfkill>(rfkillPaths()));
  PowerSourceLogind::Options power;
  power.delayLimitObserver = warnAboutLogindDelayLimit;
  installPowerSource(std::make_shared<PowerSourceLogind>(std::move(power)));
  installAlertPresenter(makeGtkAlertPresenter());
}
