// The sleep/wake application on the simulated machine: the cost of one
// notification that needs no wait, of a launch up to the attached state (with
// the login-item step against the real System Events, running or not, and the
// events it sends), and hushmoor-sim's peak memory over 10,000 sleep/wake
// cycles.
#include <benchmark/benchmark.h>
#include <glib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/Controller.h"
#include "app/PowerHandler.h"
#include "loginitems/LoginItemsAE.h"
#include "platform/appkit/AlertPresenterSim.h"
#include "platform/applevents/AESend.h"
#include "platform/corefoundation/CFRunLoop.h"
#include "platform/corewlan/WirelessBackendSim.h"
#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSUserDefaults.h"
#include "platform/foundation/PlatformServices.h"
#include "platform/foundation/SleeperSim.h"
#include "platform/iokit/PowerSourceSim.h"
#include "systemevents/LoginItemStore.h"
#include "systemevents/SystemEventsControl.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

// The simulated platform in a scratch home, for the duration of a benchmark.
// The login items are those of the private user environment, served by the
// build tree's System Events; the bundle is listed, so a launch only reads.
struct SimulatedPlatform {
  SimulatedPlatform() {
    gchar* made = g_dir_make_tmp("hushmoor-bench-XXXXXX", nullptr);
    home = made;
    g_free(made);
    setenv("HOME", home.c_str(), 1);
    const std::string bundle = user.root() + "/My Apps/Hushmoor.app";
    std::filesystem::create_directories(bundle + "/Contents/MacOS");
    NSBundle::setMainBundlePath(NSString::stringWithUTF8String(bundle));
    std::string error;
    if (!systemevents::LoginItemStore(user.autostartFolder(), false)
             .writeItem(bundle, false, 1'000'000, &error))
      std::fprintf(stderr, "cannot list the bundle: %s\n", error.c_str());
    services.emplace(PlatformServices{
        .powerSource = power,
        .wireless = wireless,
        .sleeper = std::make_shared<SleeperSim>(),
        .alertPresenter = std::make_shared<AlertPresenterSim>(),
        .logSink = std::make_shared<LogSinkCapture>(),
    });
    NSBundle::setMainBundleIdentifier(NSLoadMainInterface().bundleIdentifier);
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideStateForTesting();
    // Not a first run: the welcome would only add a recorded panel.
    NSUserDefaults tool(NSLoadMainInterface().bundleIdentifier, {});
    tool.setBool(true, "RanBefore");
    tool.synchronize();
  }
  ~SimulatedPlatform() {
    services.reset();
    NSBundle::setMainBundlePath("");
    NSUserDefaults::resetStandardUserDefaults();
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
  }
  TemporaryUserEnvironment user;
  std::string home;
  std::shared_ptr<PowerSourceSim> power = std::make_shared<PowerSourceSim>();
  std::shared_ptr<WirelessBackendSim> wireless = std::make_shared<WirelessBackendSim>();
  std::optional<ScopedPlatformServices> services;
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

// The whole start-up, to the attached state, with `items` login items of
// other programs before the bundle's own (no copycats), System Events already
// running (1) or not (0). The shut-down after each is not timed, nor is
// stopping System Events.
void BM_LaunchToAttached(benchmark::State& state) {
  SimulatedPlatform platform;
  const bool running = state.range(0) != 0;
  const int64_t items = state.range(1);
  {
    systemevents::LoginItemStore store(platform.user.autostartFolder(), false);
    std::string error;
    for (int64_t i = 0; i < items; ++i) {
      if (!store.writeItem("/usr/share/apps/Item " + std::to_string(i) + ".app", false, i + 1,
                           &error)) {
        state.SkipWithError(error.c_str());
        return;
      }
    }
  }
  if (running) {  // started once before the first timed launch
    CFArrayRef list = nullptr;
    if (LIAECopyLoginItems(&list) == noErr) CFRelease(list);
  }
  UInt64 events = 0;
  for (auto _ : state) {
    ProcessSerialNumber psn;
    if (!running && SystemEventsFindRunning(&psn) == noErr) SystemEventsQuitAndWait(psn, 5000);
    Controller controller;
    controller.init();
    const UInt64 sentBefore = AEGetEventsSentCount();
    const auto start = std::chrono::steady_clock::now();
    controller.applicationDidFinishLaunching(NSNotification{});
    const auto end = std::chrono::steady_clock::now();
    events = AEGetEventsSentCount() - sentBefore;
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    controller.applicationWillTerminate(NSNotification{});
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideStateForTesting();
  }
  state.counters["events_per_launch"] = static_cast<double>(events);
}
BENCHMARK(BM_LaunchToAttached)
    ->ArgNames({"running", "items"})
    ->ArgsProduct({{1, 0}, {0, 10, 100}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// A launch that finds `copycats` copies of the application listed elsewhere
// (and the bundle itself missing), with System Events running: it removes
// each copy and adds the bundle, 1 + 2n + 1 events. The list is put back
// before each launch, untimed.
void BM_LaunchRemovingCopycats(benchmark::State& state) {
  SimulatedPlatform platform;
  const int64_t copycats = state.range(0);
  CFArrayRef list = nullptr;
  if (LIAECopyLoginItems(&list) == noErr) CFRelease(list);  // starts System Events
  UInt64 events = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(platform.user.autostartFolder());
    systemevents::LoginItemStore store(platform.user.autostartFolder(), false);
    std::string error;
    for (int64_t i = 0; i < copycats; ++i)
      store.writeItem("/Volumes/Disk " + std::to_string(i) + "/Hushmoor.app", false, i + 1, &error);
    Controller controller;
    controller.init();
    state.ResumeTiming();
    const UInt64 sentBefore = AEGetEventsSentCount();
    controller.applicationDidFinishLaunching(NSNotification{});
    events = AEGetEventsSentCount() - sentBefore;
    state.PauseTiming();
    controller.applicationWillTerminate(NSNotification{});
    NSUserDefaults::resetStandardUserDefaults();
    resetProcessWideStateForTesting();
    state.ResumeTiming();
  }
  state.counters["events_per_launch"] = static_cast<double>(events);
}
BENCHMARK(BM_LaunchRemovingCopycats)
    ->ArgName("copycats")
    ->Arg(0)
    ->Arg(1)
    ->Arg(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

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
