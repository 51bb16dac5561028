// The installed power source.
#include "platform/iokit/PowerSource.h"

#include "platform/foundation/PlatformServices.h"

PowerSource& currentPowerSource() {
  return PlatformServices::use(&PlatformServices::powerSource, makeDefaultPowerSource);
}
