// The radio switch of one wireless network interface, through the kernel's
// rfkill subsystem: its state is read from sysfs, changes go to /dev/rfkill.
// Both roots are parameters so tests can point them at a fake tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/SystemError.h"

struct RfkillPaths {
  std::string sysfsRoot = "/sys";
  std::string devicePath = "/dev/rfkill";
};

struct RfkillState {
  bool softBlocked = false;
  bool hardBlocked = false;
  bool on() const { return !softBlocked && !hardBlocked; }
};

class RfkillRadio {
 public:
  // Finds the interface afresh (rfkill indices can change across a resume):
  // a wireless interface with exactly this name; otherwise, for "en1", the
  // machine's wireless interface, the one with the lowest interface index;
  // otherwise nothing. An interface without a wireless phy or whose phy has
  // no rfkill device is not a radio we can switch, so it gives nothing too.
  static std::optional<RfkillRadio> find(const std::string& name, const RfkillPaths& paths = {});

  const std::string& interfaceName() const { return interface_; }
  uint32_t rfkillIndex() const { return index_; }
  // The wireless phy the interface belongs to ("phy0").
  std::string phyName() const;

  // Reads the current block state from sysfs; fails when the device is gone.
  std::optional<RfkillState> state(SystemError* error = nullptr) const;
  // Asks the kernel to block (off) or unblock (on) the radio. Switching on a
  // hard-blocked radio fails with ERFKILL, since the kernel would accept the
  // request and leave the radio dead.
  bool setPower(bool on, SystemError* error = nullptr) const;

 private:
  RfkillRadio(std::string interface, uint32_t index, std::string rfkillDir, RfkillPaths paths)
      : interface_(std::move(interface)),
        index_(index),
        rfkillDir_(std::move(rfkillDir)),
        paths_(std::move(paths)) {}

  std::string interface_;
  uint32_t index_;
  std::string rfkillDir_;  // the rfkill device's sysfs folder, under the phy
  RfkillPaths paths_;
};
