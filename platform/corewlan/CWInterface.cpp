// CWInterface over the installed WirelessBackend.
#include "platform/corewlan/CWInterface.h"

#include "platform/corewlan/RadioSleepGuard.h"
#include "platform/corewlan/WirelessBackend.h"

std::shared_ptr<CWInterface> CWInterface::interfaceWithName(const NSString& name) {
  if (!currentWirelessBackend().hasInterface(name.UTF8String())) return nullptr;
  return std::make_shared<CWInterface>(name);
}

bool CWInterface::power() const { return currentWirelessBackend().radioPower(name_.UTF8String()); }

bool CWInterface::setPower(bool power, std::shared_ptr<NSError>* error) const {
  // The guard writes its record before the radio goes off for a sleep, so
  // that no moment exists where the radio is off and nothing says so.
  RadioSleepGuard& guard = RadioSleepGuard::shared();
  guard.radioWillSwitch(name_.UTF8String(), power);
  const bool switched = currentWirelessBackend().setRadioPower(name_.UTF8String(), power, error);
  guard.radioSwitched(power, switched);
  return switched;
}
