// The installed sleeper and the system-library-shaped `sleep` over it.
#include "platform/foundation/Sleeper.h"

#include <utility>

namespace {
std::shared_ptr<Sleeper>& installed() {
  static std::shared_ptr<Sleeper> sleeper;
  return sleeper;
}
}  // namespace

void installSleeper(std::shared_ptr<Sleeper> sleeper) { installed() = std::move(sleeper); }

Sleeper& currentSleeper() {
  if (!installed()) installed() = makeRealSleeper();
  return *installed();
}

unsigned int platform::sleep(unsigned int seconds) {
  return currentSleeper().sleepSeconds(seconds);
}
