// The real machine's power source: systemd-logind (see LogindSleepInhibitor).
// A registration holds a delay lock; PrepareForSleep(true) is will-sleep,
// acknowledging it closes the lock; PrepareForSleep(false) is has-powered-on,
// delivered once the lock has been taken again.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

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

  uint32_t registerForSystemPower(Delivery deliver) override;
  bool allowPowerChange(uint32_t registration, intptr_t notificationID) override;
  void deregister(uint32_t registration) override;

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
};
