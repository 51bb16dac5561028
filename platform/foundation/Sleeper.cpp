// The installed sleeper and the system-library-shaped `sleep` over it.
#include "platform/foundation/Sleeper.h"

#include "platform/foundation/PlatformServices.h"

Sleeper& currentSleeper() {
  return PlatformServices::use(&PlatformServices::sleeper, makeRealSleeper);
}

unsigned int platform::sleep(unsigned int seconds) {
  return currentSleeper().sleepSeconds(seconds);
}
