// The application launched on the simulated machine with nothing to do, until
// SIGTERM: what bench/app/idle-syscalls measures with strace.
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/NSApplication.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"

int main(int argc, const char* argv[]) {
  installPowerSource(std::make_shared<SimulatedPowerSource>());
  installWirelessBackend(std::make_shared<SimulatedWirelessBackend>());
  installSleeper(std::make_shared<SimulatedSleeper>());
  installAlertPresenter(std::make_shared<SimulatedAlertPresenter>());
  return NSApplicationMain(argc, argv);
}
