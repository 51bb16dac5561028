// The real machine's sleep: poll() on the termination request's descriptor
// until the time is up, the system's limit is reached or a request comes;
// other signals only restart the wait for what is left.
#include <poll.h>

#include <cerrno>

#include "platform/foundation/Sleeper.h"
#include "platform/foundation/TerminationRequest.h"

namespace {
using Clock = std::chrono::steady_clock;

class RealSleeper : public Sleeper {
 public:
  unsigned int sleepSeconds(unsigned int seconds) override {
    const Clock::time_point asked = Clock::now() + std::chrono::seconds(seconds);
    const Clock::time_point end = deadline_ && *deadline_ < asked ? *deadline_ : asked;
    for (;;) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now());
      if (left.count() <= 0) break;
      pollfd request{TerminationRequest::currentFd(), POLLIN, 0};
      // poll() takes an int of milliseconds: longer waits go round again.
      const int ms = left.count() > 1000000000 ? 1000000000 : static_cast<int>(left.count());
      const int ready = ::poll(&request, request.fd >= 0 ? 1 : 0, ms);
      if (ready > 0) break;
      if (ready < 0 && errno != EINTR) break;
    }
    const auto unslept = std::chrono::ceil<std::chrono::seconds>(asked - Clock::now()).count();
    return unslept > 0 ? static_cast<unsigned int>(unslept) : 0;
  }

  void setSystemWaitLimit(std::optional<std::chrono::milliseconds> limit) override {
    deadline_.reset();
    if (limit) deadline_ = Clock::now() + *limit;
  }

 private:
  std::optional<Clock::time_point> deadline_;
};
}  // namespace

std::shared_ptr<Sleeper> makeRealSleeper() { return std::make_shared<RealSleeper>(); }
