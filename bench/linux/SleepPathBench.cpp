// The sleep path on the real backends against python-dbusmock's logind on a
// private bus: from sending PrepareForSleep(true) to the delay lock being
// released by MySleepCallBack's acknowledgement. The mock's own latency (a
// Python process) is part of every figure.
//   BM_SleepPathRadioOff: no wait; median and p99 over 60 cycles.
//   BM_SleepPathRadioOnDelay1: radio on, SleepDelay 1; the time beyond 1 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <vector>

#include "app/PowerHandler.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/WirelessRfkill.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/iokit/IOPMLib.h"
#include "platform/iokit/PowerSourceLogind.h"
#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"

namespace {

using Clock = std::chrono::steady_clock;

// Notes the moment an acknowledgement has closed the lock.
class TimedPowerSource : public PowerSource {
 public:
  explicit TimedPowerSource(std::shared_ptr<PowerSource> inner) : inner_(std::move(inner)) {}
  uint32_t registerForSystemPower(Delivery deliver) override {
    return inner_->registerForSystemPower(std::move(deliver));
  }
  bool allowPowerChange(uint32_t registration, intptr_t id) override {
    const bool allowed = inner_->allowPowerChange(registration, id);
    if (allowed) released = Clock::now();
    return allowed;
  }
  void deregister(uint32_t registration) override { inner_->deregister(registration); }
  std::optional<Clock::time_point> released;

 private:
  std::shared_ptr<PowerSource> inner_;
};

struct Machine {
  PrivateSystemBus bus;
  std::unique_ptr<MockLogind> logind;
  FakeSysfs sys;
  std::shared_ptr<TimedPowerSource> power;

  bool start(bool radioOn) {
    if (!bus.ok()) return false;
    logind = std::make_unique<MockLogind>(bus);
    if (!logind->ok()) return false;
    sys.addInterface("wlan0", 3, "phy0");
    sys.addRfkill("phy0", 0, !radioOn, false);
    installWirelessBackend(std::make_shared<WirelessRfkill>(sys.paths()));
    PowerSourceLogind::Options options;
    options.logind.busAddress = bus.address();
    power = std::make_shared<TimedPowerSource>(std::make_shared<PowerSourceLogind>(options));
    installPowerSource(power);
    powerConnection =
        IORegisterForSystemPower(nullptr, &powerNotificationPort, MySleepCallBack, &powerNotifier);
    if (powerConnection == 0) return false;
    CFRunLoopAddSource(CFRunLoopGetCurrent(),
                       IONotificationPortGetRunLoopSource(powerNotificationPort),
                       kCFRunLoopCommonModes);
    return true;
  }
  ~Machine() {
    if (powerConnection != 0) {
      IODeregisterForSystemPower(&powerNotifier);
      IOServiceClose(powerConnection);
      IONotificationPortDestroy(powerNotificationPort);
    }
    resetProcessWideState();
    installPowerSource(nullptr);
    installWirelessBackend(nullptr);
  }
  size_t locks() {
    size_t n = 0;
    for (const auto& entry : logind->inhibitors()) n += std::get<0>(entry) == "sleep";
    return n;
  }
  // One sleep: the seconds from sending the announcement to the release.
  std::optional<double> sleepOnce() {
    power->released.reset();
    const auto sent = Clock::now();
    logind->emitPrepareForSleep(true);
    if (!runUntil([&] { return power->released.has_value(); }, 30000)) return std::nullopt;
    const double seconds = std::chrono::duration<double>(*power->released - sent).count();
    // The wake, untimed: the radio back on as the kernel would, the lock again.
    logind->emitPrepareForSleep(false);
    runUntil([&] { return locks() == 1; });
    return seconds;
  }
};

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[index];
}

// Starts the machine with the radio on or off and times one sleep per
// iteration, from PrepareForSleep(true) to the lock's release; the samples,
// or none when the run had to be skipped.
std::optional<std::vector<double>> timeSleeps(benchmark::State& state, bool radioOn) {
  Machine machine;
  if (!machine.start(radioOn)) {
    state.SkipWithError("no private bus or mock logind");
    return std::nullopt;
  }
  runUntil([&] { return machine.locks() == 1; });
  std::vector<double> samples;
  for (auto _ : state) {
    auto seconds = machine.sleepOnce();
    if (!seconds) {
      state.SkipWithError("the lock was never released");
      return std::nullopt;
    }
    state.SetIterationTime(*seconds);
    samples.push_back(*seconds);
  }
  return samples;
}

void BM_SleepPathRadioOff(benchmark::State& state) {
  const auto samples = timeSleeps(state, false);
  if (!samples) return;
  state.counters["median_ms"] = percentile(*samples, 0.5) * 1e3;
  state.counters["p99_ms"] = percentile(*samples, 0.99) * 1e3;
}
BENCHMARK(BM_SleepPathRadioOff)->Iterations(60)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SleepPathRadioOnDelay1(benchmark::State& state) {
  NSUserDefaults::standardUserDefaults().setInteger(1, "SleepDelay");
  auto samples = timeSleeps(state, true);
  if (!samples) return;
  for (double& seconds : *samples) seconds -= 1.0;  // the time beyond the 1 s wait
  state.counters["median_beyond_1s_ms"] = percentile(*samples, 0.5) * 1e3;
  state.counters["max_beyond_1s_ms"] = percentile(*samples, 1.0) * 1e3;
}
BENCHMARK(BM_SleepPathRadioOnDelay1)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
