// PowerSource: the machine's power-management service as the IOKit calls
// (IORegisterForSystemPower and friends) see it. The Linux backend is
// systemd-logind: a registration takes a "delay" inhibitor lock,
// PrepareForSleep(true) is will-sleep, acknowledging that will-sleep closes
// the lock (the sleep may then go on), PrepareForSleep(false) is
// has-powered-on and the lock is taken again. The simulated backend
// (PowerSourceSim.h) posts notifications a test or script asks for and
// records acknowledgements.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class PowerSource {
 public:
  // Receives (messageType, notificationID): a kIOMessage* code and an
  // identifier to hand back to allowPowerChange. Called on the main thread,
  // from the main context, never from inside registerForSystemPower.
  using Delivery = std::function<void(uint32_t messageType, intptr_t notificationID)>;

  virtual ~PowerSource() = default;

  // Starts delivering notifications to `deliver` and returns a registration
  // number > 0, or 0 when the service cannot be reached (nothing is held
  // then). Linux: takes the delay lock now, so the first sleep already waits.
  virtual uint32_t registerForSystemPower(Delivery deliver) = 0;

  // Acknowledges notification `notificationID` of `registration`: the
  // power change may go on. For a will-sleep the Linux backend closes the
  // delay lock. Returns false, and does nothing, for an unknown registration,
  // an unknown identifier, one that needs no answer (has-powered-on) or one
  // already acknowledged.
  virtual bool allowPowerChange(uint32_t registration, intptr_t notificationID) = 0;

  // Stops delivery to `registration` and lets go of everything it holds (a
  // will-sleep still unacknowledged is let go: the sleep is not held back by
  // an application that has left). Unknown registrations are ignored.
  virtual void deregister(uint32_t registration) = 0;

  // What most likely made the last registration fail, for a person to act
  // on, when the service said more than "no" (logind refusing the lock for
  // lack of rights); empty otherwise. Never blocks.
  virtual std::string registrationFailureCauses() const { return {}; }

  // How long after announcing a sleep the system goes on without the
  // answers, less what the application needs to finish (none: it waits for
  // ever, or the limit is unknown). IOPMLib hands it to the Sleeper as each
  // will-sleep arrives, so a wait before the sleep ends in time whatever the
  // backend. Main thread; never blocks.
  virtual std::optional<std::chrono::milliseconds> systemWaitLimit() const { return std::nullopt; }

  // For a person asking whether the application does its job (`hushmoor
  // --status`), without registering or holding anything: whether the service
  // lists a sleep lock held by process `pid`, how long it holds a sleep back
  // at most, and the wait that leaves the application (as systemWaitLimit).
  // `problem` says why the service could not be asked. Blocks for about a
  // second at most; not from a notification callback.
  struct Report {
    bool reached = false;
    bool lockListed = false;
    std::optional<std::chrono::milliseconds> holdLimit, waitLimit;
    std::string problem;
    std::string service;    // who holds the sleeps back, as a person knows it
    std::string limitName;  // the setting of holdLimit, for a person to change
  };
  virtual Report report(int pid) const;
};

// The installed power source (PlatformServices.h), the default one when none
// is. Main thread.
PowerSource& currentPowerSource();
// The real machine's backend (PowerSourceDefault.cpp); until one is built in,
// a source whose registration always fails.
std::shared_ptr<PowerSource> makeDefaultPowerSource();
