// RfkillRadio and the rfkill wireless backend against a fake sysfs tree laid
// out like the kernel's, with a plain file in place of /dev/rfkill that keeps
// the bytes written.
#include <gtest/gtest.h>
#include <linux/rfkill.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "platform/corewlan/WirelessRfkill.h"
#include "tests/support/FakeSysfs.h"

namespace {

namespace fs = std::filesystem;

TEST(RfkillRadio, FindsTheInterfaceByNameAndEn1AsTheFirstWirelessOne) {
  FakeSysfs sys;
  sys.add("lo", 1);
  sys.add("wlan0", 5, "phy1", 3);   // a second wireless card, registered later
  sys.add("wlp2s0", 3, "phy0", 0);  // the built-in one
  sys.add("wlx0", 4, "phy2");       // wireless, but no rfkill device
  const std::pair<const char*, const char*> cases[] = {
      {"wlan0", "wlan0"}, {"en1", "wlp2s0"}, {"lo", nullptr},           {"wlx0", nullptr},
      {"wlan9", nullptr}, {"", nullptr},     {"../net/wlan0", nullptr}, {"..", nullptr}};
  for (const auto& [name, expected] : cases) {
    auto radio = RfkillRadio::find(name, sys.paths());
    EXPECT_EQ(radio ? radio->interfaceName() : "none", expected ? expected : "none") << name;
  }
  sys.add("en1", 7, "phy3", 1);  // an interface really named en1 comes first
  EXPECT_EQ(RfkillRadio::find("en1", sys.paths())->interfaceName(), "en1");
}

TEST(RfkillRadio, AHardBlockedRadioReadsOffAndIsNeverSwitchedOn) {
  FakeSysfs sys;
  sys.add("wlan0", 2, "phy0", 7);
  sys.setBlocks("phy0", 7, false, true);
  auto radio = RfkillRadio::find("wlan0", sys.paths());
  EXPECT_FALSE(radio->state()->on());
  SystemError error;
  EXPECT_FALSE(radio->setPower(true, &error));
  EXPECT_EQ(error.code, ERFKILL);
  EXPECT_EQ(sys.takeWritten(), std::vector<unsigned char>());
  // Off is still asked, so the soft block holds once the switch is released:
  // idx (u32, little endian here), type, op, soft, hard.
  EXPECT_TRUE(radio->setPower(false));
  EXPECT_EQ(sys.takeWritten(),
            (std::vector<unsigned char>{7, 0, 0, 0, RFKILL_TYPE_WLAN, RFKILL_OP_CHANGE, 1, 0}));
}

TEST(RfkillRadio, FailuresCarryErrnoAndSayWhat) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"", ENODEV, "rfkill0 is gone"},  // the device went after the look-up
      {"/nonexistent/rfkill", ENOENT, "(/nonexistent/rfkill)"},
      {"/", EISDIR, "Is a directory"},
      {"/dev/full", ENOSPC, "No space left"},
  };
  for (const auto& [device, code, text] : cases) {
    FakeSysfs sys;
    sys.add("wlan0", 2, "phy0", 0);
    RfkillPaths paths = sys.paths();
    if (*device) paths.devicePath = device;
    auto radio = RfkillRadio::find("wlan0", paths);
    if (!*device) fs::remove_all(sys.phyDir("phy0") / "rfkill0");
    SystemError error;
    EXPECT_FALSE(radio->setPower(false, &error));
    EXPECT_EQ(error.code, code);
    EXPECT_NE(error.description.find(text), std::string::npos) << error.description;
    EXPECT_NE(error.description.find("radio of wlan0 off"), std::string::npos);
  }
  FakeSysfs sys;  // a radio whose state cannot be read is not on
  sys.add("wlan0", 2, "phy0", 0);
  fs::remove(sys.phyDir("phy0") / "rfkill0/hard");
  EXPECT_FALSE(WirelessRfkill(sys.paths()).radioPower("wlan0"));
  std::shared_ptr<NSError> gone;  // an interface that went away fails with a reason
  EXPECT_FALSE(WirelessRfkill(sys.paths()).setRadioPower("wlan7", true, &gone));
  EXPECT_NE(gone, nullptr);
}

}  // namespace
