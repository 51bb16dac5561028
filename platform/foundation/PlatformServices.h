// PlatformServices: the backends the platform calls run on, in one object.
// The shipped executable installs the Linux machine's (platform/machine/
// LinuxMachine.h), the simulator and the tests the simulated machine's; a slot
// left empty gets its framework's default at first use (currentPowerSource(),
// currentSleeper(), ...), so a program that installs nothing still runs,
// truthfully, without a machine to work on.
#pragma once

#include <functional>
#include <memory>

class AlertPresenter;
class LogSink;
class PowerSource;
class ProcessExit;
class Sleeper;
class WirelessBackend;

struct PlatformServices {
  std::shared_ptr<PowerSource> powerSource{};
  std::shared_ptr<WirelessBackend> wireless{};
  std::shared_ptr<Sleeper> sleeper{};
  std::shared_ptr<AlertPresenter> alertPresenter{};
  std::shared_ptr<ProcessExit> processExit{};
  std::shared_ptr<LogSink> logSink{};
  // The machine's own step of each launch: run by NSApplicationMain once the
  // one-copy lock is held and before the delegate hears of the launch (a
  // second copy never runs it). May block on the file system; main thread.
  std::function<void()> launchStep{};

  // The services in use. Main thread only, except the log sink: NSLog reads
  // it through NSCurrentLogSink(), from any thread.
  static PlatformServices& current();
  // Puts `services` in place and returns what was there. Main thread; not
  // from inside a call into one of the services being replaced. Safe against
  // NSLog on other threads.
  static PlatformServices exchange(PlatformServices services);

  // The service in `slot` of the current services, made by `makeDefault`
  // at first use when none is installed: what each framework's current*()
  // returns. Main thread.
  template <class Service>
  static Service& use(std::shared_ptr<Service> PlatformServices::*slot,
                      std::shared_ptr<Service> (*makeDefault)()) {
    std::shared_ptr<Service>& service = current().*slot;
    if (!service) service = makeDefault();
    return *service;
  }
};

// Puts services in place for its lifetime; its destructor puts back what was
// there before, so tests and simulated launches nest. Main thread.
class ScopedPlatformServices {
 public:
  explicit ScopedPlatformServices(PlatformServices services)
      : previous_(PlatformServices::exchange(std::move(services))) {}
  ~ScopedPlatformServices() { PlatformServices::exchange(std::move(previous_)); }
  ScopedPlatformServices(const ScopedPlatformServices&) = delete;
  ScopedPlatformServices& operator=(const ScopedPlatformServices&) = delete;

 private:
  PlatformServices previous_;
};
