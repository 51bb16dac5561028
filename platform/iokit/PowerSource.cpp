// The installed power source.
#include "platform/iokit/PowerSource.h"

#include "platform/foundation/PlatformServices.h"

PowerSource& currentPowerSource() {
  return PlatformServices::use(&PlatformServices::powerSource, makeDefaultPowerSource);
}

PowerSource::Report PowerSource::report(int) const {
  Report report;
  report.problem = "this machine offers no power service to ask";
  return report;
}
