// The simulated backends keep the contracts the Linux ones must keep.
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/iokit/PowerSourceSim.h"
#include "tests/platform/PowerSourceContract.h"
#include "tests/platform/WirelessBackendContract.h"

namespace {

struct SimulatedPowerTraits {
  static std::shared_ptr<PowerSource> make() { return std::make_shared<SimulatedPowerSource>(); }
  static void post(PowerSource& source, uint32_t messageType) {
    static_cast<SimulatedPowerSource&>(source).post(messageType);
  }
  static void runUntilDelivered() {}  // the simulated service delivers as it posts
};

struct SimulatedWirelessTraits {
  static std::shared_ptr<WirelessBackend> make() {
    return std::make_shared<SimulatedWirelessBackend>();
  }
  static std::string presentInterface() { return "en1"; }
  static void makeRequestsFail(WirelessBackend& backend) {
    auto& sim = static_cast<SimulatedWirelessBackend&>(backend);
    sim.setFailPowerOff(true);
    sim.setFailPowerOn(true);
  }
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, PowerSourceContract,
                               ::testing::Types<SimulatedPowerTraits>);
INSTANTIATE_TYPED_TEST_SUITE_P(Simulated, WirelessBackendContract,
                               ::testing::Types<SimulatedWirelessTraits>);
