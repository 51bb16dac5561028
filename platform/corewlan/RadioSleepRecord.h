// The record that the radio is off for a sleep: a small key file in the
// user's state folder, not the runtime folder, because it must outlive a
// reboot (systemd-rfkill saves a soft block at shut-down and restores it at
// boot, so a radio left off stays off across reboots too). Written durably, so
// that a crash or a power cut leaves either the whole record or none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/linux/SystemError.h"

struct RadioSleepRecord {
  std::string interfaceName;  // the name the radio was switched by ("en1")
  std::string device;         // the device behind it, in words (see WirelessBackend)
  std::string bootId;         // /proc/sys/kernel/random/boot_id when it was written
  int64_t time = 0;           // seconds since the epoch when it was written

  struct Reading;

  // $XDG_STATE_HOME/hushmoor/radio-off-for-sleep when that variable holds an
  // absolute path, else ~/.local/state/hushmoor/radio-off-for-sleep.
  static std::string path();
  // This boot's identifier, or "unknown" when the kernel does not say.
  static std::string currentBootId();

  // Blocks on the file system; none of these throws.
  static Reading read(const std::string& path);
  // Writes a temporary file beside `path`, syncs it, renames it into place
  // and syncs the folder (made 0700 when missing). Returns the problem, if any.
  std::optional<SystemError> write(const std::string& path) const;
  // Removes the record (nothing to do when there is none) and syncs the
  // folder. Returns the problem when it could not be removed; a folder that
  // cannot be synced afterwards is only logged.
  static std::optional<SystemError> remove(const std::string& path);
  // Removes the temporary files a write leaves when it is cut short between
  // creating and renaming its file. Only when no write can be under way.
  static void removeTemporaries(const std::string& path);
};

// What reading the record found: nothing, a record, a file that is not a
// whole record, or a place that cannot be read (a folder in the way is a file,
// no permission); `problem` says why for the last two.
struct RadioSleepRecord::Reading {
  bool present = false;
  bool inaccessible = false;
  std::optional<RadioSleepRecord> record;
  std::string problem;
};
