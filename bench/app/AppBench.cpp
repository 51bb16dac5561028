// The sleep/wake application on the simulated machine: the cost of one
// notification that needs no wait, of a launch up to the attached state, and
// hushmoor-sim's peak memory over 10,000 sleep/wake cycles.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/Controller.h"
#include "app/PowerHandler.h"
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"

namespace {

// The simulated platform in a scratch home, for the duration of a benchmark.
struct SimulatedPlatform {
  SimulatedPlatform() {
    gchar* made = g_dir_make_tmp("hushmoor-bench-XXXXXX", nullptr);
    home = made;
    g_free(made);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    installPowerSource(power);
    installWirelessBackend(wireless);
    installSleeper(std::make_shared<SimulatedSleeper>());
    installAlertPresenter(std::make_shared<SimulatedAlertPresenter>());
    NSSetLogSink(std::make_shared<CapturingLogSink>());
    NSBundle::setMainBundleIdentifier(NSLoadMainInterface().bundleIdentifier);
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideState();
    // Not a first run: the welcome would only add a recorded panel.
    NSUserDefaults tool(NSLoadMainInterface().bundleIdentifier, {});
    tool.setBool(true, "RanBefore");
    tool.synchronize();
  }
  ~SimulatedPlatform() {
    installPowerSource(nullptr);
    installWirelessBackend(nullptr);
    installSleeper(nullptr);
    installAlertPresenter(nullptr);
    NSSetLogSink(nullptr);
    NSUserDefaults::resetStandardUserDefaults();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }
  std::string home;
  std::shared_ptr<SimulatedPowerSource> power = std::make_shared<SimulatedPowerSource>();
  std::shared_ptr<SimulatedWirelessBackend> wireless = std::make_shared<SimulatedWirelessBackend>();
};

void runUntilIdle() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

// From the post to the handler's return, through the port's run-loop source.
void BM_NotificationWithoutWait(benchmark::State& state) {
  SimulatedPlatform platform;
  const auto code = static_cast<uint32_t>(state.range(0));
  if (code == kIOMessageSystemWillSleep) platform.wireless->setRadio(false);
  Controller controller;
  controller.init();
  controller.applicationDidFinishLaunching(NSNotification{});
  for (auto _ : state) {
    platform.power->post(code);
    runUntilIdle();
  }
  controller.applicationWillTerminate(NSNotification{});
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NotificationWithoutWait)
    ->ArgName("code")
    ->Arg(kIOMessageCanSystemSleep)
    ->Arg(kIOMessageSystemWillSleep)  // with the radio off
    ->Arg(kIOMessageSystemWillPowerOn);

// Start-up steps 1, 3, 4 and 5 (interface check, registration, attachment);
// the shut-down after each is not timed.
void BM_LaunchToAttached(benchmark::State& state) {
  SimulatedPlatform platform;
  for (auto _ : state) {
    Controller controller;
    controller.init();
    const auto start = std::chrono::steady_clock::now();
    controller.applicationDidFinishLaunching(NSNotification{});
    const auto end = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    controller.applicationWillTerminate(NSNotification{});
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideState();
  }
}
BENCHMARK(BM_LaunchToAttached)->UseManualTime();

// hushmoor-sim on a 10,000-cycle script: the peak resident set of the child.
void BM_SimPeakRSSTenThousandCycles(benchmark::State& state) {
  gchar* dir = g_dir_make_tmp("hushmoor-bench-XXXXXX", nullptr);
  const std::string folder = dir;
  g_free(dir);
  const std::string script = folder + "/cycles.sim";
  {
    std::ofstream out(script);
    out << "launch\n";
    for (int i = 0; i < 10000; ++i) out << "can-sleep\nsleep\nwake\n";
  }
  long peakKiB = 0;
  for (auto _ : state) {
    const pid_t child = fork();
    if (child == 0) {
      if (freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
      execl(HUSHMOOR_SIM, HUSHMOOR_SIM, "--home", (folder + "/home").c_str(), script.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("hushmoor-sim failed");
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    peakKiB = usage.ru_maxrss;
  }
  state.counters["peak_rss_KiB"] = static_cast<double>(peakKiB);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_SimPeakRSSTenThousandCycles)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
