// CWInterface over the installed WirelessBackend.
#include "platform/corewlan/CWInterface.h"

#include "platform/corewlan/WirelessBackend.h"

std::shared_ptr<CWInterface> CWInterface::interfaceWithName(const NSString& name) {
  if (!currentWirelessBackend().hasInterface(name.UTF8String())) return nullptr;
  return std::make_shared<CWInterface>(name);
}

bool CWInterface::power() const { return currentWirelessBackend().radioPower(name_.UTF8String()); }

bool CWInterface::setPower(bool power, std::shared_ptr<NSError>* error) const {
  return currentWirelessBackend().setRadioPower(name_.UTF8String(), power, error);
}
