// logind as the power source of IOKit's power calls.
#include "platform/iokit/PowerSourceLogind.h"

#include <string>

#include "platform/foundation/NSLog.h"
#include "platform/iokit/IOMessage.h"

namespace {

// A little before logind's own deadline, so the wait is over before the
// machine freezes the process rather than a moment after the wake.
std::optional<std::chrono::milliseconds> waitLimitFor(std::optional<uint64_t> limitUSec) {
  constexpr uint64_t kMarginUSec = 200000;
  if (!limitUSec) return std::nullopt;
  return std::chrono::milliseconds((*limitUSec > kMarginUSec ? *limitUSec - kMarginUSec : 0) /
                                   1000);
}

}  // namespace

uint32_t PowerSourceLogind::registerForSystemPower(Delivery deliver) {
  auto registration = std::make_unique<Registration>();
  registration->deliver = std::move(deliver);
  Registration* raw = registration.get();
  SystemError error;
  registration->logind = LogindSleepInhibitor::start(
      options_.logind, [this, raw](bool goingToSleep) { onSleepSignal(*raw, goingToSleep); },
      &error);
  failureCauses_ = error.accessRefused() ? LogindSleepInhibitor::kAccessRefusedCauses : "";
  if (!registration->logind) {
    // The caller only learns "0"; the reason belongs in the log.
    NSLog("WARN (%s:%d): no sleep notifications from systemd-logind: %s", __func__, __LINE__,
          error.description);
    return 0;
  }
  const uint32_t number = ++lastRegistration_;
  const std::optional<uint64_t> limit = registration->logind->inhibitDelayMaxUSec();
  waitLimit_ = waitLimitFor(limit);
  registrations_.emplace(number, std::move(registration));
  if (options_.delayLimitObserver) options_.delayLimitObserver(limit);
  return number;
}

void PowerSourceLogind::onSleepSignal(Registration& registration, bool goingToSleep) {
  const intptr_t id = ++lastNotification_;
  if (goingToSleep) {
    registration.unacknowledgedSleeps.insert(id);
    registration.deliver(kIOMessageSystemWillSleep, id);
  } else {
    // The wake (or a failed sleep) ends every announced sleep: an
    // acknowledgement arriving late must not close the lock just taken again
    // for the next one.
    registration.unacknowledgedSleeps.clear();
    registration.deliver(kIOMessageSystemHasPoweredOn, id);
  }
}

bool PowerSourceLogind::allowPowerChange(uint32_t registration, intptr_t notificationID) {
  auto it = registrations_.find(registration);
  if (it == registrations_.end()) return false;
  Registration& r = *it->second;
  if (r.unacknowledgedSleeps.erase(notificationID) == 0) return false;
  r.logind->releaseLock();
  return true;
}

void PowerSourceLogind::deregister(uint32_t registration) {
  // Destroying the logind client drops the subscription and the lock, so an
  // unacknowledged sleep goes ahead without us.
  registrations_.erase(registration);
}

PowerSource::Report PowerSourceLogind::report(int pid) const {
  SystemError error;
  const auto listing = LogindSleepInhibitor::list(options_.logind, pid, &error);
  Report report;
  report.problem = error.description;
  report.service = "systemd-logind";
  report.limitName = "InhibitDelayMaxSec in logind.conf";
  if (!listing) return report;
  report.reached = true;
  report.lockListed = listing->lockListed;
  if (listing->inhibitDelayMaxUSec)
    report.holdLimit = std::chrono::milliseconds(*listing->inhibitDelayMaxUSec / 1000);
  report.waitLimit = waitLimitFor(listing->inhibitDelayMaxUSec);
  return report;
}
