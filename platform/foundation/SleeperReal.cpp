// The real machine's sleep: the whole time, resumed after signals.
#include <errno.h>
#include <time.h>

#include "platform/foundation/Sleeper.h"

namespace {
class RealSleeper : public Sleeper {
 public:
  void sleepSeconds(unsigned int seconds) override {
    timespec left{static_cast<time_t>(seconds), 0};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }
};
}  // namespace

std::shared_ptr<Sleeper> makeRealSleeper() { return std::make_shared<RealSleeper>(); }
