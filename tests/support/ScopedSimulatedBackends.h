// The simulated machine's backends for the time of one test: the constructor
// installs them, the destructor puts the default ones back. A test that needs
// a backend of its own hands it in.
#pragma once

#include <memory>

#include "platform/appkit/AlertPresenterSim.h"
#include "platform/appkit/ProcessExit.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"

struct ScopedSimulatedBackends {
  explicit ScopedSimulatedBackends(
      std::shared_ptr<SimulatedPowerSource> powerSource = std::make_shared<SimulatedPowerSource>())
      : power(std::move(powerSource)) {
    installPowerSource(power);
    installWirelessBackend(wireless);
    installSleeper(sleeper);
    installAlertPresenter(alerts);
    installProcessExit(makeSimulatedProcessExit());
    NSSetLogSink(log);
  }
  ~ScopedSimulatedBackends() {
    installPowerSource(nullptr);
    installWirelessBackend(nullptr);
    installSleeper(nullptr);
    installAlertPresenter(nullptr);
    installProcessExit(nullptr);
    NSSetLogSink(nullptr);
  }
  ScopedSimulatedBackends(const ScopedSimulatedBackends&) = delete;
  ScopedSimulatedBackends& operator=(const ScopedSimulatedBackends&) = delete;

  std::shared_ptr<SimulatedPowerSource> power;
  std::shared_ptr<SimulatedWirelessBackend> wireless = std::make_shared<SimulatedWirelessBackend>();
  std::shared_ptr<SimulatedSleeper> sleeper = std::make_shared<SimulatedSleeper>();
  std::shared_ptr<SimulatedAlertPresenter> alerts = std::make_shared<SimulatedAlertPresenter>();
  std::shared_ptr<CapturingLogSink> log = std::make_shared<CapturingLogSink>();
};
