// The installed power source.
#include "platform/iokit/PowerSource.h"

#include "platform/foundation/PlatformServices.h"

PowerSource& currentPowerSource() {
  std::shared_ptr<PowerSource>& source = PlatformServices::current().powerSource;
  if (!source) source = makeDefaultPowerSource();
  return *source;
}
