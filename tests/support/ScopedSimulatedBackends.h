// The simulated machine's backends for the time of one test, through one
// ScopedPlatformServices: what was installed before comes back at the end. A
// test that needs a power source of its own hands it in; `guarded` puts the
// radio's guard over the simulated radio, with its launch step, as the
// machines do.
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
      bool guarded = false)
      : power(std::move(powerSource)),
        guard(guarded ? std::make_shared<RadioSleepGuard>(wireless) : nullptr),
        services_(PlatformServices{
            .powerSource = power,
            .wireless = guard ? std::shared_ptr<WirelessBackend>(guard) : wireless,
            .sleeper = sleeper,
            .alertPresenter = alerts,
            .processExit = makeSimulatedProcessExit(),
            .logSink = log,
            .launchStep = [g = guard.get()] {
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
