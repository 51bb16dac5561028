// The simulated machine's sleep: records the seconds, reports them and
// returns at once. A system wait limit cuts a longer wait, as the real one
// would end there.
#pragma once

#include <functional>
#include <vector>

#include "platform/foundation/Sleeper.h"

class SleeperSim : public Sleeper {
 public:
  // Told the seconds asked for and the seconds waited (fewer when the
  // system's limit cut the wait).
  using SleepObserver = std::function<void(unsigned int asked, unsigned int waited)>;
  void setSleepObserver(SleepObserver observer) { observer_ = std::move(observer); }
  const std::vector<unsigned int>& sleeps() const { return sleeps_; }

  unsigned int sleepSeconds(unsigned int seconds) override {
    unsigned int waited = seconds;
    if (limit_) {
      const auto limit = std::chrono::ceil<std::chrono::seconds>(*limit_).count();
      if (limit < static_cast<long long>(seconds)) waited = static_cast<unsigned int>(limit);
    }
    sleeps_.push_back(waited);
    if (observer_) observer_(seconds, waited);
    return seconds - waited;
  }
  void setSystemWaitLimit(std::optional<std::chrono::milliseconds> limit) override {
    limit_ = limit;
  }

 private:
  std::vector<unsigned int> sleeps_;
  std::optional<std::chrono::milliseconds> limit_;
  SleepObserver observer_;
};
