// CWInterface's radio over rfkill; failures become NSPOSIXErrorDomain errors
// carrying errno and RfkillRadio's description.
#include "platform/corewlan/WirelessRfkill.h"

#include <cerrno>

bool WirelessRfkill::hasInterface(const std::string& bsdName) {
  return RfkillRadio::find(bsdName, paths_).has_value();
}

bool WirelessRfkill::radioPower(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return false;
  auto state = radio->state();
  return state && state->on();
}

bool WirelessRfkill::setRadioPower(const std::string& bsdName, bool on,
                                   std::shared_ptr<NSError>* error) {
  RfkillError failure;
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) {
    failure = {ENODEV, "No wireless interface " + bsdName + " with a radio switch"};
  } else if (radio->setPower(on, &failure)) {
    return true;
  }
  if (error != nullptr)
    *error = NSError::errorWithDomain("NSPOSIXErrorDomain", failure.code,
                                      NSString::stringWithUTF8String(failure.description));
  return false;
}

std::optional<RadioBlocks> WirelessRfkill::radioBlocks(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return std::nullopt;
  auto state = radio->state();
  if (!state) return std::nullopt;
  return RadioBlocks{state->softBlocked, state->hardBlocked};
}

std::string WirelessRfkill::radioDevice(const std::string& bsdName) {
  auto radio = RfkillRadio::find(bsdName, paths_);
  if (!radio) return bsdName;
  return "rfkill" + std::to_string(radio->rfkillIndex()) + " of " + radio->interfaceName();
}
