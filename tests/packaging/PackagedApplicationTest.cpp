// The unpacked Debian package: /usr/bin/hushmoor runs against python-dbusmock's
// logind and a fake sysfs, holds its sleep lock through a sleep, starts the
// System Events beside it and lists its own unpacked bundle, with TryExec.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace fs = std::filesystem;

TEST(PackagedApplication, RunsFromTheUnpackedTreeAndRegistersItsOwnBundle) {
  const fs::path root = HUSHMOOR_UNPACKED_ROOT, apps = root / "usr/lib/hushmoor/Applications";
  EXPECT_FALSE(fs::exists(root / "etc")) << "the logind drop-in is only an example";
  TemporaryUserEnvironment user;
  PrivateSystemBus bus;
  MockLogind logind(bus);
  ASSERT_TRUE(logind.ok()) << bus.error() << logind.error();
  FakeSysfs sys;
  sys.addInterface("wlp2s0", 3, "phy0");
  sys.addRfkill("phy0", 0, true, false);  // radio off: a sleep needs no wait
  std::string error;
  pid_t app =
      spawnChild({(root / "usr/bin/hushmoor").string()},
                 {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.address(), "HOME=" + sys.root().string(),
                  "HUSHMOOR_TEST_ROOT=" + sys.root().string(), "DISPLAY", "WAYLAND_DISPLAY"},
                 &error);
  ASSERT_GT(app, 0) << error;
  auto locks = [&](size_t n) { return runUntil([&] { return logind.inhibitors().size() == n; }); };
  ASSERT_TRUE(locks(1));
  logind.emitPrepareForSleep(true);
  EXPECT_TRUE(locks(0));
  logind.emitPrepareForSleep(false);
  EXPECT_TRUE(locks(1));
  stopChild(app);

  ProcessSerialNumber systemEvents;
  ASSERT_EQ(SystemEventsFindRunning(&systemEvents), noErr);
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(systemEvents.lowLongOfPSN) + "/exe"),
            fs::canonical(apps / "System Events.app/Contents/MacOS/System Events"));
  std::stringstream entries;
  for (const auto& entry : fs::directory_iterator(user.autostartFolder()))
    entries << std::ifstream(entry.path()).rdbuf();
  const std::string bundle = fs::canonical(apps / "Hushmoor.app").string();
  EXPECT_NE(entries.str().find("X-Hushmoor-Path=" + bundle + "\n"), std::string::npos);
  EXPECT_NE(entries.str().find("TryExec=" + bundle + "/Contents/MacOS/Hushmoor\n"),
            std::string::npos)
      << entries.str();
}
