// The simulated machine's sleep: records the seconds, reports them and
// returns at once.
#pragma once

#include <functional>
#include <vector>

#include "platform/foundation/Sleeper.h"

class SimulatedSleeper : public Sleeper {
 public:
  using SleepObserver = std::function<void(unsigned int seconds)>;
  void setSleepObserver(SleepObserver observer) { observer_ = std::move(observer); }
  const std::vector<unsigned int>& sleeps() const { return sleeps_; }

  void sleepSeconds(unsigned int seconds) override {
    sleeps_.push_back(seconds);
    if (observer_) observer_(seconds);
  }

 private:
  std::vector<unsigned int> sleeps_;
  SleepObserver observer_;
};
