// The wake on the logind power source while logind is slow: from sending
// PrepareForSleep(false) to the has-powered-on notice reaching its handler,
// with python-dbusmock's logind holding every Inhibit answer back until the
// notice has come. The mock's own latency (a Python process) is part of the
// figure; the answer's delay is not, since the wake does not wait for it.
//   BM_WakeWithSlowLogind: median and max over 30 wakes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

#include "platform/iokit/IOMessage.h"
#include "platform/iokit/PowerSourceLogind.h"
#include "tests/linux/support/TestBus.h"

namespace {

using Clock = std::chrono::steady_clock;

void BM_WakeWithSlowLogind(benchmark::State& state) {
  PrivateSystemBus bus;
  std::optional<MockLogind> logind;
  if (bus.ok()) logind.emplace(bus);
  if (!logind || !logind->ok()) {
    state.SkipWithError("no private bus or mock logind");
    return;
  }
  PowerSourceLogind::Options options;
  options.logind.busAddress = bus.address();
  PowerSourceLogind power(options);
  std::optional<Clock::time_point> woken;
  intptr_t sleepID = 0;
  const uint32_t registration = power.registerForSystemPower([&](uint32_t type, intptr_t id) {
    if (type == kIOMessageSystemWillSleep) sleepID = id;
    if (type == kIOMessageSystemHasPoweredOn) woken = Clock::now();
  });
  std::vector<double> samples;
  for (auto _ : state) {
    logind->emitPrepareForSleep(true);  // untimed: a sleep, acknowledged at once
    runUntil([&] { return sleepID != 0; });
    power.allowPowerChange(registration, sleepID);
    sleepID = 0;
    logind->holdInhibit(true);
    woken.reset();
    const auto sent = Clock::now();
    logind->emitPrepareForSleep(false);
    if (!runUntil([&] { return woken.has_value(); })) {
      state.SkipWithError("the wake was never delivered");
      return;
    }
    const double seconds = std::chrono::duration<double>(*woken - sent).count();
    state.SetIterationTime(seconds);
    samples.push_back(seconds);
    logind->holdInhibit(false);  // the late answer: the lock for the next sleep
    runUntil([&] { return logind->inhibitors().size() == 1; });
  }
  power.deregister(registration);
  std::sort(samples.begin(), samples.end());
  state.counters["median_ms"] = samples[samples.size() / 2] * 1e3;
  state.counters["max_ms"] = samples.back() * 1e3;
}
BENCHMARK(BM_WakeWithSlowLogind)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
