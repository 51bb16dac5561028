// Keeps the radio from being left off by a Hushmoor that is gone: if the
// process dies after switching the radio off for a sleep and before the wake
// (killed, crashed, its session ended during the suspend), the radio would
// stay soft-blocked, and systemd-rfkill would carry that block across every
// later boot. So a record (RadioSleepRecord) is written before the radio goes
// off for a sleep and removed once the wake has switched it back on, or has
// found nothing to switch on; the next launch switches on a radio that such a
// record says was left off. A run that quits in order between the sleep and
// the wake keeps the record as well: the radio it switched off is still off.
//
// Which layer knows "for a sleep": neither the radio nor the power layer
// alone. CWInterface knows that the radio is switched, and IOKit's delivery
// knows which notification the application is handling meanwhile
// (IOPMHandling.h). The guard joins the two here, in the platform, so that the
// application's handler keeps to its own logic and every wireless backend,
// real or simulated, behaves alike: a radio switched off while a will-sleep
// is handled is off for that sleep.
#pragma once

#include <string>

#include "platform/iokit/IOPMLib.h"

class RadioSleepGuard {
 public:
  // The process's guard; made on first use, which also starts watching the
  // power notifications. Main thread only.
  static RadioSleepGuard& shared();

  // The launch's step, before the application looks for its interface. A
  // record left by an earlier run: the radio it names is switched back on
  // when it is still blocked by software only (never when a hardware switch
  // holds it off), with one INFO line. The record is removed in every case; a
  // record that cannot be read is removed with a warning. Blocks on the file
  // system and the radio; main thread only.
  //
  // A record from an earlier boot is honoured like one from this boot: the
  // soft block was most likely carried over by systemd-rfkill from the
  // shut-down, so the radio is still off because of the unfinished sleep. The
  // radio is found again by the name it was switched by, like every switch,
  // since rfkill indices may change across a resume or a reboot; the device,
  // boot and time are kept for a person reading the record.
  void restoreAfterUnfinishedSleep();

  // CWInterface::setPower, around each power request. Before switching off
  // for a sleep the record is written (a warning when it cannot be; the
  // sleep goes on). After a radio has been switched on the record is removed.
  void radioWillSwitch(const std::string& bsdName, bool on);
  void radioSwitched(bool on, bool succeeded);

 private:
  RadioSleepGuard();
  void notificationHandling(natural_t messageType, bool handled);
  void removeRecord();

  bool powerOnAskedDuringWake_ = false;
};
