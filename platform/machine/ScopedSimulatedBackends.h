// The simulated machine's backends, put in the platform services for the
// object's lifetime through one ScopedPlatformServices: what was installed
// before comes back at its end. hushmoor-sim, the tests and the benchmarks
// run the application on them. `guarded` puts the radio's guard over the
// simulated radio, with its launch step, as the machines do for a launch; a
// log sink or process exit handed in replaces the captured log or the exit
// that ends only the launch.
#pragma once

#include <memory>

#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/corewlan/RadioSleepGuard.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"

struct ScopedSimulatedBackends {
  explicit ScopedSimulatedBackends(
      std::shared_ptr<PowerSourceSim> powerSource = std::make_shared<PowerSourceSim>(),
      bool guarded = false, std::shared_ptr<LogSink> logSink = nullptr,
      std::shared_ptr<ProcessExit> processExit = makeSimulatedProcessExit())
      : power(std::move(powerSource)),
        guard(guarded ? std::make_shared<RadioSleepGuard>(wireless) : nullptr),
        services_(PlatformServices{
            .powerSource = power,
            .wireless = guard ? std::shared_ptr<WirelessBackend>(guard) : wireless,
            .sleeper = sleeper,
            .alertPresenter = alerts,
            .processExit = std::move(processExit),
            .logSink = logSink ? std::move(logSink) : log,
            .launchStep =
                [g = guard.get()] {
                  if (g != nullptr) g->restoreAfterUnfinishedSleep();
                },
        }) {}

  std::shared_ptr<PowerSourceSim> power;
  std::shared_ptr<WirelessBackendSim> wireless = std::make_shared<WirelessBackendSim>();
  std::shared_ptr<SleeperSim> sleeper = std::make_shared<SleeperSim>();
  std::shared_ptr<AlertPresenterSim> alerts = std::make_shared<AlertPresenterSim>();
  std::shared_ptr<LogSinkCapture> log = std::make_shared<LogSinkCapture>();
  std::shared_ptr<RadioSleepGuard> guard;

 private:
  ScopedPlatformServices services_;
};
