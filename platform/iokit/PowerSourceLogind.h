// The real machine's power source: systemd-logind (see LogindSleepInhibitor).
// A registration holds a delay lock; PrepareForSleep(true) is will-sleep,
// acknowledging it closes the lock; PrepareForSleep(false) is has-powered-on,
// delivered at once while the lock for the next sleep is asked for in the
// background. Everything runs on the thread of the main context that was the
// thread default at registration.
//
// logind sleeps once its delay limit (InhibitDelayMaxUSec) has passed, lock
// or no lock: that limit, read at registration, is the system's wait limit.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/iokit/PowerSource.h"
#include "platform/linux/LogindSleepInhibitor.h"

class PowerSourceLogind : public PowerSource {
 public:
  struct Options {
    LogindSleepInhibitor::Options logind;
    // Told logind's InhibitDelayMaxUSec (none when it cannot be read) after
    // each successful registration, so the application can say when its
    // wait does not fit.
    std::function<void(std::optional<uint64_t> inhibitDelayMaxUSec)> delayLimitObserver;
  };

  PowerSourceLogind() = default;
  explicit PowerSourceLogind(Options options) : options_(std::move(options)) {}

  // Blocks while logind grants the first lock and reads its delay limit: up
  // to 25 s and 5 s when logind (or polkit, started on demand) is slow.
  uint32_t registerForSystemPower(Delivery deliver) override;
  // Never blocks: closes the lock's fd.
  bool allowPowerChange(uint32_t registration, intptr_t notificationID) override;
  // Never blocks on logind; not from inside this registration's own delivery.
  void deregister(uint32_t registration) override;
  // After logind refused the lock for lack of rights: the likely causes.
  std::string registrationFailureCauses() const override { return failureCauses_; }
  // logind's InhibitDelayMaxUSec as the last registration read it, less a
  // margin; none when it could not be read.
  std::optional<std::chrono::milliseconds> systemWaitLimit() const override { return waitLimit_; }
  // Asks logind with a connection of its own, for at most about a second.
  Report report(int pid) const override;

 private:
  struct Registration {
    Delivery deliver;
    std::set<intptr_t> unacknowledgedSleeps;
    std::unique_ptr<LogindSleepInhibitor> logind;
  };
  void onSleepSignal(Registration& registration, bool goingToSleep);

  Options options_;
  std::map<uint32_t, std::unique_ptr<Registration>> registrations_;
  uint32_t lastRegistration_ = 0;
  intptr_t lastNotification_ = 0;
  std::string failureCauses_;
  std::optional<std::chrono::milliseconds> waitLimit_;
};
