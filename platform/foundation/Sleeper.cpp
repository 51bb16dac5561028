// The installed sleeper and the system-library-shaped `sleep` over it.
#include "platform/foundation/Sleeper.h"

#include "platform/foundation/PlatformServices.h"

Sleeper& currentSleeper() {
  std::shared_ptr<Sleeper>& sleeper = PlatformServices::current().sleeper;
  if (!sleeper) sleeper = makeRealSleeper();
  return *sleeper;
}

unsigned int platform::sleep(unsigned int seconds) {
  return currentSleeper().sleepSeconds(seconds);
}
