// The simulated machine's power-management service: notifications are posted
// on request, each acknowledgement is recorded and reported.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/iokit/PowerSource.h"

class PowerSourceSim : public PowerSource {
 public:
  // Told of each accepted acknowledgement, with the code of the notification
  // it answers.
  using AcknowledgementObserver = std::function<void(uint32_t messageType)>;

  void setAcknowledgementObserver(AcknowledgementObserver observer) {
    observer_ = std::move(observer);
  }
  // Whether the next registrations succeed (they do at first).
  void setRegistrationSucceeds(bool succeeds) { registrationSucceeds_ = succeeds; }
  // How long the system waits for the answers to a will-sleep before it
  // sleeps anyway (nullopt, the default: for ever).
  void setDelayLimit(std::optional<std::chrono::milliseconds> limit) { delayLimit_ = limit; }

  // Sends a notification with `messageType` to every registration; returns its
  // identifier.
  intptr_t post(uint32_t messageType);

  size_t registrationCount() const { return registrations_.size(); }
  const std::vector<uint32_t>& acknowledgedCodes() const { return acknowledged_; }

  uint32_t registerForSystemPower(Delivery deliver) override;
  bool allowPowerChange(uint32_t registration, intptr_t notificationID) override;
  void deregister(uint32_t registration) override;
  std::optional<std::chrono::milliseconds> systemWaitLimit() const override { return delayLimit_; }
  // A registration stands for the lock; the machine has no other processes.
  Report report(int) const override;

 private:
  struct Registration {
    Delivery deliver;
    std::map<intptr_t, uint32_t> awaiting;  // notification identifier -> code
  };
  std::map<uint32_t, Registration> registrations_;
  uint32_t nextRegistration_ = 1;
  intptr_t nextNotification_ = 1;
  bool registrationSucceeds_ = true;
  std::optional<std::chrono::milliseconds> delayLimit_;
  std::vector<uint32_t> acknowledged_;
  AcknowledgementObserver observer_;
};
