// The record of a radio switched off for a sleep, kept from the switch-off to
// the wake, and the launch's restore of a radio such a record says was left
// off.
#include "platform/corewlan/RadioSleepGuard.h"

#include <glib.h>

#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/corewlan/WirelessBackend.h"
#include "platform/foundation/NSLog.h"
#include "platform/iokit/IOPMHandling.h"

RadioSleepGuard& RadioSleepGuard::shared() {
  static RadioSleepGuard guard;
  return guard;
}

RadioSleepGuard::RadioSleepGuard() {
  IOPMSetHandlingObserver(
      [this](natural_t messageType, bool handled) { notificationHandling(messageType, handled); });
}

void RadioSleepGuard::restoreAfterUnfinishedSleep() {
  const std::string path = RadioSleepRecord::path();
  const RadioSleepRecord::Reading reading = RadioSleepRecord::read(path);
  if (!reading.present) return;
  if (!reading.record) {
    NSLog("WARN (%s:%d): removing %s, which is not a readable record of an unfinished sleep: %s",
          __func__, __LINE__, path, reading.problem);
  } else {
    WirelessBackend& backend = currentWirelessBackend();
    const std::string& name = reading.record->interfaceName;
    const std::optional<RadioBlocks> blocks = backend.radioBlocks(name);
    if (blocks && blocks->soft && !blocks->hard) {
      std::shared_ptr<NSError> error;
      if (backend.setRadioPower(name, true, &error))
        NSLog("INFO: switched the radio back on after an unfinished sleep");
      else
        NSLog("WARN (%s:%d): couldn't switch the radio back on after an unfinished sleep: %@",
              __func__, __LINE__, error);
    }
  }
  removeRecord();
}

void RadioSleepGuard::radioWillSwitch(const std::string& bsdName, bool on) {
  const natural_t handling = IOPMMessageBeingHandled();
  if (on) {
    if (handling == kIOMessageSystemHasPoweredOn) powerOnAskedDuringWake_ = true;
    return;
  }
  if (handling != kIOMessageSystemWillSleep) return;
  const RadioSleepRecord record{bsdName, currentWirelessBackend().radioDevice(bsdName),
                                RadioSleepRecord::currentBootId(),
                                g_get_real_time() / G_USEC_PER_SEC};
  if (auto problem = record.write(RadioSleepRecord::path()))
    NSLog("WARN (%s:%d): the radio stays off if Hushmoor ends before the wake: %s", __func__,
          __LINE__, *problem);
}

void RadioSleepGuard::radioSwitched(bool on, bool succeeded) {
  if (on && succeeded) removeRecord();
}

void RadioSleepGuard::notificationHandling(natural_t messageType, bool handled) {
  if (!handled) {
    powerOnAskedDuringWake_ = false;
    return;
  }
  // A wake that switches nothing on ends the record too: what it says is no
  // longer true of this run, and kept it could switch on a radio the user has
  // switched off since. A power-on that failed keeps it, for the next launch.
  if (messageType == kIOMessageSystemHasPoweredOn && !powerOnAskedDuringWake_) removeRecord();
}

void RadioSleepGuard::removeRecord() {
  if (auto problem = RadioSleepRecord::remove(RadioSleepRecord::path()))
    NSLog("WARN (%s:%d): %s", __func__, __LINE__, *problem);
}
