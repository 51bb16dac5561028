// The power source of a program that installs none (the shipped executable
// installs the logind one): no reachable power-management service, so
// registration fails and the application says so and quits rather than
// pretending to work.
#include "platform/iokit/PowerSource.h"

namespace {
class UnavailablePowerSource : public PowerSource {
 public:
  uint32_t registerForSystemPower(Delivery) override { return 0; }
  bool allowPowerChange(uint32_t, intptr_t) override { return false; }
  void deregister(uint32_t) override {}
};
}  // namespace

std::shared_ptr<PowerSource> makeDefaultPowerSource() {
  return std::make_shared<UnavailablePowerSource>();
}
