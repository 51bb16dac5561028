// The application launched on the simulated machine with nothing to do, until
// SIGTERM: what bench/app/idle-syscalls measures with strace.
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/NSApplication.h"
#include "platform/applevents/LaunchServices.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"

int main(int argc, const char* argv[]) {
  PlatformServices::exchange({
      .powerSource = std::make_shared<PowerSourceSim>(),
      .wireless = std::make_shared<WirelessBackendSim>(),
      .sleeper = std::make_shared<SleeperSim>(),
      .alertPresenter = std::make_shared<AlertPresenterSim>(),
  });
  // The build tree's System Events serves the launch's login-item step.
  LSSetApplicationSearchFoldersForTesting({HUSHMOOR_APPLICATIONS_DIR});
  return NSApplicationMain(argc, argv);
}
