// The real machine's power source. Until the logind backend is built in, the
// machine has no reachable power-management service: registration fails, and
// the application says so and quits rather than pretending to work.
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
