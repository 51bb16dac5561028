// RfkillRadio against a fake sysfs tree laid out like the kernel's, and a
// plain file in place of /dev/rfkill that captures the exact bytes written.
#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

#include "platform/linux/RfkillRadio.h"
#include "tests/linux/support/FakeSysfs.h"

namespace {

// wlan0 (ifindex 2) on phy0, whose rfkill device has the given index and blocks.
void addWlan0(FakeSysfs& sys, int rfkill, bool soft, bool hard) {
  sys.addInterface("wlan0", 2, "phy0");
  sys.addRfkill("phy0", rfkill, soft, hard);
}

TEST(RfkillLookup, ResolvesNameToRadio) {
  FakeSysfs sys;
  sys.addInterface("lo", 1);
  sys.addInterface("eth0", 2);
  sys.addInterface("wlan0", 5, "phy1");  // a second wireless card (a dongle)
  sys.addRfkill("phy1", 3, false, false);
  sys.addInterface("wlp2s0", 3, "phy0");  // the built-in one, registered first
  sys.addRfkill("phy0", 0, false, false);
  sys.addInterface("wlx0", 4, "phy2");  // wireless, but its phy has no rfkill device
  struct Case {
    const char* name;
    const char* expectedInterface;  // nullptr: no radio
    uint32_t expectedIndex;
  };
  const Case cases[] = {
      {"wlan0", "wlan0", 3}, {"wlp2s0", "wlp2s0", 0}, {"en1", "wlp2s0", 0},  // lowest ifindex
      {"eth0", nullptr, 0},  {"lo", nullptr, 0},      {"wlx0", nullptr, 0},
      {"wlan9", nullptr, 0}, {"", nullptr, 0},        {"../net/wlan0", nullptr, 0},
      {"..", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto radio = RfkillRadio::find(c.name, sys.paths());
    if (c.expectedInterface == nullptr) {
      EXPECT_FALSE(radio.has_value()) << "found " << radio->interfaceName();
      continue;
    }
    ASSERT_TRUE(radio.has_value());
    EXPECT_EQ(radio->interfaceName(), c.expectedInterface);
    EXPECT_EQ(radio->rfkillIndex(), c.expectedIndex);
  }
}

TEST(RfkillLookup, En1PrefersAnInterfaceOfThatNameAndIgnoresWiredOnes) {
  FakeSysfs sys;
  addWlan0(sys, 0, false, false);
  sys.addInterface("en1", 7, "phy1");
  sys.addRfkill("phy1", 1, false, false);
  auto radio = RfkillRadio::find("en1", sys.paths());
  ASSERT_TRUE(radio);
  EXPECT_EQ(radio->interfaceName(), "en1");
  EXPECT_EQ(radio->phyName(), "phy1");
}

TEST(RfkillLookup, En1WithoutAnyWirelessInterfaceOrSysfsIsNothing) {
  FakeSysfs sys;
  sys.addInterface("lo", 1);
  sys.addInterface("eth0", 2);
  EXPECT_FALSE(RfkillRadio::find("en1", sys.paths()));
  EXPECT_FALSE(RfkillRadio::find("en1", RfkillPaths{(sys.root() / "missing").string(), ""}));
}

TEST(RfkillLookup, EachLookupSeesTheCurrentIndex) {
  FakeSysfs sys;
  addWlan0(sys, 1, false, false);
  ASSERT_EQ(RfkillRadio::find("en1", sys.paths())->rfkillIndex(), 1u);
  // After a resume the driver may register its rfkill device anew.
  sys.removeRfkill("phy0", 1);
  sys.addRfkill("phy0", 4, false, false);
  EXPECT_EQ(RfkillRadio::find("en1", sys.paths())->rfkillIndex(), 4u);
}

TEST(RfkillState, PowerIsOnOnlyWhenNeitherBlocked) {
  for (const bool soft : {false, true}) {
    for (const bool hard : {false, true}) {
      SCOPED_TRACE(testing::Message() << "soft " << soft << ", hard " << hard);
      FakeSysfs sys;
      addWlan0(sys, 0, soft, hard);
      auto radio = RfkillRadio::find("wlan0", sys.paths());
      ASSERT_TRUE(radio);
      auto state = radio->state();
      ASSERT_TRUE(state);
      EXPECT_EQ(state->softBlocked, soft);
      EXPECT_EQ(state->hardBlocked, hard);
      EXPECT_EQ(state->on(), !soft && !hard);
    }
  }
}

TEST(RfkillSetPower, WritesOneChangeEventForTheDevice) {
  struct Case {
    bool on, hardBlocked;
    std::vector<unsigned char> bytes;
  };
  // struct rfkill_event: idx (u32, host order: little endian here), type
  // (RFKILL_TYPE_WLAN = 1), op (RFKILL_OP_CHANGE = 2), soft, hard.
  const Case cases[] = {
      {false, false, {0x07, 0, 0, 0, 1, 2, 1, 0}},
      {true, false, {0x07, 0, 0, 0, 1, 2, 0, 0}},
      // Off while hard-blocked is still asked: the soft block must hold once
      // the hardware switch is released.
      {false, true, {0x07, 0, 0, 0, 1, 2, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "on " << c.on << ", hard " << c.hardBlocked);
    FakeSysfs sys;
    addWlan0(sys, 7, !c.on, c.hardBlocked);
    auto radio = RfkillRadio::find("wlan0", sys.paths());
    ASSERT_TRUE(radio);
    RfkillError error;
    EXPECT_TRUE(radio->setPower(c.on, &error)) << error.description;
    EXPECT_EQ(sys.written(), c.bytes);
  }
}

TEST(RfkillSetPower, FailuresCarryErrnoAndSayWhat) {
  struct Case {
    const char* label;
    bool on;
    bool hardBlocked;
    bool removeDevice;   // the rfkill device disappears after the look-up
    const char* device;  // nullptr: the capture file
    int expectedErrno;
    const char* expectedText;
  };
  const Case cases[] = {
      {"hard_blocked_on", true, true, false, nullptr, ERFKILL, "hardware switch"},
      {"device_gone", false, false, true, nullptr, ENODEV, "rfkill0 is gone"},
      {"no_dev_rfkill", false, false, false, "/nonexistent/rfkill", ENOENT, "/nonexistent/rfkill"},
      {"device_is_folder", false, false, false, "/", EISDIR, "Is a directory"},
      {"write_fails", false, false, false, "/dev/full", ENOSPC, "No space left"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeSysfs sys;
    addWlan0(sys, 0, !c.on, c.hardBlocked);
    RfkillPaths paths = sys.paths();
    if (c.device != nullptr) paths.devicePath = c.device;
    auto radio = RfkillRadio::find("wlan0", paths);
    ASSERT_TRUE(radio);
    if (c.removeDevice) sys.removeRfkill("phy0", 0);
    RfkillError error;
    EXPECT_FALSE(radio->setPower(c.on, &error));
    EXPECT_EQ(error.code, c.expectedErrno);
    EXPECT_NE(error.description.find(c.expectedText), std::string::npos) << error.description;
    EXPECT_NE(error.description.find("wlan0"), std::string::npos) << error.description;
    EXPECT_TRUE(sys.written().empty());
  }
}

}  // namespace
