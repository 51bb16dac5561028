// WirelessBackend: the machine's wireless interfaces and their radio power as
// CWInterface sees them. The Linux backend uses rfkill (state read from
// /sys/class/rfkill, changed through /dev/rfkill); the simulated one
// (WirelessBackendSim.h) has one interface "en1" whose presence and failures
// a test or script sets.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NSError.h"

class WirelessBackend {
 public:
  virtual ~WirelessBackend() = default;

  // Whether an interface with this BSD name exists now. Asked afresh at each
  // look-up; nothing is cached by the caller.
  virtual bool hasInterface(const std::string& bsdName) = 0;

  // Whether the named interface's radio is on; false when the interface is
  // gone or its state cannot be read.
  virtual bool radioPower(const std::string& bsdName) = 0;

  // Switches the radio on or off. True on success (also when it already was
  // in that state). On failure returns false and sets *error (when error is
  // not null) to an error object that says what went wrong; never throws.
  virtual bool setRadioPower(const std::string& bsdName, bool on,
                             std::shared_ptr<NSError>* error) = 0;
};

void installWirelessBackend(std::shared_ptr<WirelessBackend> backend);  // nullptr: default
WirelessBackend& currentWirelessBackend();
// The real machine's backend (WirelessBackendDefault.cpp); until one is
// built in, a machine without wireless interfaces.
std::shared_ptr<WirelessBackend> makeDefaultWirelessBackend();
