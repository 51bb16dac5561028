// WirelessBackend: the machine's wireless interfaces and their radio power as
// CWInterface sees them. The Linux backend uses rfkill (state read from the
// rfkill folder under the interface's phy in sysfs, changed through
// /dev/rfkill); the simulated one
// (WirelessBackendSim.h) has one interface "en1" whose presence and failures
// a test or script sets.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/NSError.h"

// Why a radio is off: switched off by software (which may switch it on
// again) or held off by a hardware switch (which only the user can undo).
struct RadioBlocks {
  bool soft = false;
  bool hard = false;
};

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

  // What holds the named interface's radio off; none when the interface is
  // gone or its state cannot be read. The default, for hardware without a
  // switch of its own: a radio that is off is off by software.
  virtual std::optional<RadioBlocks> radioBlocks(const std::string& bsdName);

  // The device behind the named interface's radio in words, for a person
  // reading a record of it later; the default is the name itself.
  virtual std::string radioDevice(const std::string& bsdName) { return bsdName; }

  // Calls `changed` after a radio was added, removed or switched, by anyone;
  // nullptr stops. Called on the main thread, from the main context, never
  // from inside this call. False when changes cannot be watched (*problem
  // says why; `changed` is then never called). The default reports nothing.
  using RadioChangeHandler = std::function<void()>;
  virtual bool watchRadioChanges(RadioChangeHandler changed, std::string* problem);

  // While held, a name keeps the device it was first resolved to, so that
  // every call made for one power notification (the look-up, the record,
  // the switch) reaches the same radio; released, each call looks afresh.
  // Main thread; the default has nothing to hold.
  virtual void holdResolution(bool /*hold*/) {}
};

// The installed wireless backend (PlatformServices.h), the default one when
// none is. Main thread.
WirelessBackend& currentWirelessBackend();
// The real machine's backend (WirelessBackendDefault.cpp); until one is
// built in, a machine without wireless interfaces.
std::shared_ptr<WirelessBackend> makeDefaultWirelessBackend();
