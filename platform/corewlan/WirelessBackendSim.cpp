// The simulated wireless hardware. Injected failures look like the real
// backend's: a POSIX error with its system text.
#include "platform/corewlan/WirelessBackendSim.h"

#include <cerrno>
#include <cstring>

namespace {
std::shared_ptr<NSError> posixError(int code) {
  return NSError::errorWithDomain("NSPOSIXErrorDomain", code, std::strerror(code));
}
}  // namespace

bool WirelessBackendSim::hasInterface(const std::string& bsdName) {
  return present_ && bsdName == kInterfaceName;
}

bool WirelessBackendSim::radioPower(const std::string& bsdName) {
  return hasInterface(bsdName) && radioOn_;
}

bool WirelessBackendSim::setRadioPower(const std::string& bsdName, bool on,
                                       std::shared_ptr<NSError>* error) {
  std::shared_ptr<NSError> failure;
  if (!hasInterface(bsdName))
    failure = posixError(ENODEV);
  else if ((on && failOn_) || (!on && failOff_))
    failure = posixError(EIO);
  if (failure) {
    if (error != nullptr) *error = std::move(failure);
    return false;
  }
  radioOn_ = on;
  if (observer_) observer_(on);
  return true;
}

void WirelessBackendSim::setHardware(bool present, bool on, bool reportAnyway) {
  const bool changed = reportAnyway || present != present_ || on != radioOn_;
  present_ = present;
  radioOn_ = on;
  // A copy: the handler may stop the watching.
  if (RadioChangeHandler handler = changed_; changed && handler) handler();
}

bool WirelessBackendSim::watchRadioChanges(RadioChangeHandler changed, std::string*) {
  changed_ = std::move(changed);
  return true;
}
