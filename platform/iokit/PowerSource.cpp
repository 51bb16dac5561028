// The installed power source.
#include "platform/iokit/PowerSource.h"

namespace {
std::shared_ptr<PowerSource>& installed() {
  static std::shared_ptr<PowerSource> source;
  return source;
}
}  // namespace

void installPowerSource(std::shared_ptr<PowerSource> source) { installed() = std::move(source); }

PowerSource& currentPowerSource() {
  if (!installed()) installed() = makeDefaultPowerSource();
  return *installed();
}
