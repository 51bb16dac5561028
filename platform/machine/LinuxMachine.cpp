// Puts the Linux backends in the platform services, and says when logind's
// delay limit is shorter than the wait before a sleep.
#include "platform/machine/LinuxMachine.h"

#include <sys/prctl.h>

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
#include "platform/foundation/PlatformServices.h"
#include "platform/iokit/PowerSourceLogind.h"

namespace {

// Time for switching the radio off and for the process to be scheduled
// around the wait; one second is plenty on any laptop.
constexpr uint64_t kMarginUSec = 1000000;

LinuxMachineOptions& application() {
  static LinuxMachineOptions options;
  return options;
}

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

// Told logind's InhibitDelayMaxUSec after each registration; the wait is
// asked for then, so the warning matches the setting the process started with.
void warnAboutLogindDelayLimit(std::optional<uint64_t> inhibitDelayMaxUSec) {
  if (!inhibitDelayMaxUSec || !application().currentSleepWait) return;
  const uint64_t wait = application().currentSleepWait();
  if (wait * 1000000 + kMarginUSec <= *inhibitDelayMaxUSec) return;
  char limit[32];
  std::snprintf(limit, sizeof limit, "%g", static_cast<double>(*inhibitDelayMaxUSec) / 1e6);
  NSLog(
      "WARN (%s:%d): systemd-logind holds a sleep back at most %s s (InhibitDelayMaxSec), but "
      "%s waits %s s (%s) plus about 1 s, so the wait ends early, when logind stops waiting; "
      "lower %s or raise InhibitDelayMaxSec (see the README)",
      __func__, __LINE__, std::string(limit), application().applicationName, std::to_string(wait),
      application().sleepWaitSetting, application().sleepWaitSetting);
}

}  // namespace

std::shared_ptr<PowerSource> makeLinuxPowerSource(const std::string& applicationName) {
  PowerSourceLogind::Options power;
  power.logind.who = applicationName;
  return std::make_shared<PowerSourceLogind>(std::move(power));
}

std::shared_ptr<WirelessBackend> makeLinuxRadios() {
  return std::make_shared<WirelessRfkill>(rfkillPaths());
}

void installLinuxMachine(LinuxMachineOptions options) {
  application() = std::move(options);
  // One name however the program was started (the command "hushmoor", the
  // menu, the login item's bundle path), so that `journalctl -t` and
  // `pkill -x` find every copy: the journal identifier and the process name.
  ::prctl(PR_SET_NAME, application().applicationName.c_str());
  PowerSourceLogind::Options power;
  power.logind.who = application().applicationName;
  power.delayLimitObserver = warnAboutLogindDelayLimit;
  auto guard = std::make_shared<RadioSleepGuard>(std::make_shared<WirelessRfkill>(rfkillPaths()));
  PlatformServices::exchange({
      .powerSource = std::make_shared<PowerSourceLogind>(std::move(power)),
      .wireless = guard,
      .alertPresenter = makeGtkAlertPresenter(),
      .logSink = makeJournalLogSink({.identifier = application().applicationName}),
      .launchStep = [guard] { guard->restoreAfterUnfinishedSleep(); },
  });
}
