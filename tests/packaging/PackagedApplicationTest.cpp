// The Debian package as a user gets it, unpacked into a folder: its command
// starts the application against python-dbusmock's logind, a fake sysfs and a
// private home. It takes its sleep lock, lets a sleep and wake through, finds
// the System Events beside it and puts its own unpacked bundle, with TryExec,
// into the login items.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

TEST(PackagedApplication, RunsFromTheUnpackedTreeAndRegistersItsOwnBundle) {
  const fs::path root = HUSHMOOR_UNPACKED_ROOT;
  const fs::path apps = fs::canonical(root / "usr/lib/hushmoor/Applications");
  EXPECT_FALSE(fs::exists(root / "etc")) << "the logind drop-in is only an example";
  TemporaryUserEnvironment user;
  PrivateSystemBus bus;
  ASSERT_TRUE(bus.ok()) << bus.error();
  MockLogind logind(bus);
  ASSERT_TRUE(logind.ok()) << logind.error();
  FakeSysfs sys;
  sys.addInterface("wlp2s0", 3, "phy0");
  sys.addRfkill("phy0", 0, true, false);  // radio off: a sleep needs no wait
  const fs::path log = sys.root() / "hushmoor.log";
  std::string error;
  pid_t app = spawnChild(
      {(root / "usr/bin/hushmoor").string()},
      {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.address(), "HUSHMOOR_TEST_ROOT=" + sys.root().string(),
       "HOME=" + sys.root().string(), "DISPLAY", "WAYLAND_DISPLAY"},
      &error, log.string());
  ASSERT_GT(app, 0) << error;
  auto locksBecome = [&](size_t n) {
    return runUntil([&] { return logind.inhibitors().size() == n; });
  };
  ASSERT_TRUE(locksBecome(1)) << readAll(log);
  logind.emitPrepareForSleep(true);
  EXPECT_TRUE(locksBecome(0)) << readAll(log);
  logind.emitPrepareForSleep(false);
  EXPECT_TRUE(locksBecome(1)) << readAll(log);
  stopChild(app);

  ProcessSerialNumber systemEvents;
  ASSERT_EQ(SystemEventsFindRunning(&systemEvents), noErr);
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(systemEvents.lowLongOfPSN) + "/exe"),
            apps / "System Events.app/Contents/MacOS/System Events");
  const fs::path bundle = apps / "Hushmoor.app";
  std::string entries;
  for (const auto& entry : fs::directory_iterator(user.autostartFolder()))
    entries += readAll(entry.path());
  EXPECT_NE(entries.find("X-Hushmoor-Path=" + bundle.string() + "\n"), std::string::npos)
      << entries;
  EXPECT_NE(entries.find("TryExec=" + (bundle / "Contents/MacOS/Hushmoor").string() + "\n"),
            std::string::npos)
      << entries;
}

}  // namespace
