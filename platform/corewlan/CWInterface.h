// CWInterface: one wireless interface, found by its BSD name, and its radio
// power. Forwards to the installed WirelessBackend.
#pragma once

#include <memory>

#include "platform/foundation/NSError.h"
#include "platform/foundation/NSString.h"

class CWInterface {
 public:
  // The interface with that BSD name, or none when the machine has no such
  // interface now.
  static std::shared_ptr<CWInterface> interfaceWithName(const NSString& name);

  const NSString& interfaceName() const { return name_; }
  // Whether the radio is on (read afresh).
  bool power() const;
  // Switches the radio; true on success, else false with *error (when given)
  // set to an error object describing the failure. Blocks on the radio and,
  // with the machine's radio guard installed, on a durable write of its
  // record when the switch-off is for a sleep (RadioSleepGuard.h). Main
  // thread.
  bool setPower(bool power, std::shared_ptr<NSError>* error) const;

  explicit CWInterface(NSString name) : name_(std::move(name)) {}

 private:
  NSString name_;
};
