// The simulated power-management service.
#include "platform/iokit/PowerSourceSim.h"

#include "platform/iokit/IOMessage.h"

intptr_t PowerSourceSim::post(uint32_t messageType) {
  const intptr_t id = nextNotification_++;
  // Copied first: a delivery may register or deregister.
  std::vector<Delivery> targets;
  for (auto& [number, registration] : registrations_) {
    // Only the notifications that wait for an answer are remembered; others
    // cannot be acknowledged.
    if (messageType == kIOMessageSystemWillSleep || messageType == kIOMessageCanSystemSleep)
      registration.awaiting[id] = messageType;
    targets.push_back(registration.deliver);
  }
  for (auto& deliver : targets) deliver(messageType, id);
  return id;
}

uint32_t PowerSourceSim::registerForSystemPower(Delivery deliver) {
  if (!registrationSucceeds_ || !deliver) return 0;
  const uint32_t number = nextRegistration_++;
  registrations_[number] = Registration{std::move(deliver), {}};
  return number;
}

bool PowerSourceSim::allowPowerChange(uint32_t registration, intptr_t notificationID) {
  auto it = registrations_.find(registration);
  if (it == registrations_.end()) return false;
  auto waiting = it->second.awaiting.find(notificationID);
  if (waiting == it->second.awaiting.end()) return false;
  const uint32_t code = waiting->second;
  it->second.awaiting.erase(waiting);
  acknowledged_.push_back(code);
  if (observer_) observer_(code);
  return true;
}

void PowerSourceSim::deregister(uint32_t registration) { registrations_.erase(registration); }

PowerSource::Report PowerSourceSim::report(int) const {
  Report report;
  report.reached = true;
  report.lockListed = !registrations_.empty();
  report.holdLimit = report.waitLimit = delayLimit_;
  report.service = "the simulated machine";
  report.limitName = "power-delay-limit";
  return report;
}
