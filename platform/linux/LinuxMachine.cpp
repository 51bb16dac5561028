// Wires the Linux backends into the platform seams, and says when logind's
// delay limit is shorter than the wait before a sleep.
#include "platform/linux/LinuxMachine.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/appkit/AlertPresenterGtk.h"
#include "platform/corewlan/RadioSleepGuard.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/foundation/LogSinkJournal.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/iokit/PowerSourceLogind.h"

namespace {

// Time for switching the radio off and for the process to be scheduled
// around the wait; one second is plenty on any laptop.
constexpr uint64_t kMarginUSec = 1000000;

SleepWaitRule sleepWaitRule = nullptr;

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

// Told logind's InhibitDelayMaxUSec after each registration; SleepDelay is
// read then, so the warning matches the setting the process started with.
void warnAboutLogindDelayLimit(std::optional<uint64_t> inhibitDelayMaxUSec) {
  if (!inhibitDelayMaxUSec) return;
  const long sleepDelay = NSUserDefaults::standardUserDefaults().integerForKey("SleepDelay");
  const uint64_t wait = sleepWaitRule(sleepDelay);
  if (wait * 1000000 + kMarginUSec <= *inhibitDelayMaxUSec) return;
  char limit[32];
  std::snprintf(limit, sizeof limit, "%g", static_cast<double>(*inhibitDelayMaxUSec) / 1e6);
  NSLog(
      "WARN (%s:%d): systemd-logind holds a sleep back at most %s s (InhibitDelayMaxSec), but "
      "Hushmoor waits %s s (SleepDelay) plus about 1 s, so the wait ends early, when logind "
      "stops waiting; lower SleepDelay or raise InhibitDelayMaxSec (see the README)",
      __func__, __LINE__, std::string(limit), std::to_string(wait));
}

}  // namespace

void installLinuxMachine(SleepWaitRule sleepWait) {
  sleepWaitRule = sleepWait;
  NSSetLogSink(makeJournalLogSink());
  installWirelessBackend(
      std::make_shared<RadioSleepGuard>(std::make_shared<WirelessRfkill>(rfkillPaths())));
  PowerSourceLogind::Options power;
  power.delayLimitObserver = warnAboutLogindDelayLimit;
  installPowerSource(std::make_shared<PowerSourceLogind>(std::move(power)));
  installAlertPresenter(makeGtkAlertPresenter());
}
