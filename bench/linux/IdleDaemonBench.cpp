// The shipped executable at rest, after its start-up, against the mock
// logind and a fake rfkill tree (no display, the welcome already seen, so no
// panel has been shown): its resident memory, and how often any of its
// threads woke up (context switches) over 10 seconds.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"
#include "tests/support/TemporaryUserEnvironment.h"

#ifndef HUSHMOOR_EXECUTABLE
#error "HUSHMOOR_EXECUTABLE must name the built Hushmoor executable"
#endif

namespace {

long statusField(const std::filesystem::path& status, const std::string& field) {
  std::ifstream in(status);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return 0;
}

// Voluntary and involuntary switches of every thread of the process.
long contextSwitches(pid_t pid) {
  long total = 0;
  std::error_code ec;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec))
    total += statusField(task.path() / "status", "voluntary_ctxt_switches") +
             statusField(task.path() / "status", "nonvoluntary_ctxt_switches");
  return total;
}

void BM_IdleDaemon(benchmark::State& state) {
  // A private runtime folder: the System Events the launch starts is ours,
  // and is stopped at the end.
  TemporaryUserEnvironment user;
  PrivateSystemBus bus;
  MockLogind logind(bus);
  if (!bus.ok() || !logind.ok()) {
    state.SkipWithError("no private bus or mock logind");
    return;
  }
  FakeSysfs sys;
  sys.addInterface("wlan0", 3, "phy0");
  sys.addRfkill("phy0", 0, false, false);
  const auto home = sys.root() / "home";
  std::filesystem::create_directories(home / ".config");
  std::ofstream(home / ".config" / "com.kestrova.Hushmoor.defaults")
      << "[Defaults]\nRanBefore=true\n";
  std::string error;
  pid_t app =
      spawnChild({HUSHMOOR_EXECUTABLE, "-SleepDelay", "1"},
                 {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.address(),
                  "HUSHMOOR_TEST_ROOT=" + sys.root().string(), "HOME=" + home.string(),
                  "XDG_CONFIG_HOME=" + (home / ".config").string(), "DISPLAY", "WAYLAND_DISPLAY"},
                 &error, (sys.root() / "log").string());
  if (app <= 0 || !runUntil([&] { return logind.inhibitors().size() == 1; })) {
    state.SkipWithError("Hushmoor did not take its lock");
    stopChild(app);
    return;
  }
  runUntil([] { return false; }, 1000);  // let the start-up settle
  const auto status = std::filesystem::path("/proc") / std::to_string(app) / "status";
  const auto rollup = std::filesystem::path("/proc") / std::to_string(app) / "smaps_rollup";
  long rssKiB = 0, privateKiB = 0, wakeups = 0;
  for (auto _ : state) {
    const long before = contextSwitches(app);
    ::sleep(10);
    wakeups = contextSwitches(app) - before;
    rssKiB = statusField(status, "VmRSS");
    // Resident memory includes the shared libraries' pages (GLib, GTK), which
    // a desktop session has in memory anyway; the private part is ours alone.
    privateKiB = statusField(rollup, "Private_Clean") + statusField(rollup, "Private_Dirty");
  }
  state.counters["rss_MiB"] = static_cast<double>(rssKiB) / 1024.0;
  state.counters["private_MiB"] = static_cast<double>(privateKiB) / 1024.0;
  state.counters["wakeups_in_10s"] = static_cast<double>(wakeups);
  stopChild(app);
}
BENCHMARK(BM_IdleDaemon)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
