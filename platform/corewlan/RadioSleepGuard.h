// Keeps the radio from being left off. Hushmoor switches the radio off for a
// sleep; should the switch-on after the wake not happen (the process killed
// or crashed meanwhile, the interface gone at the wake, the switch-on
// failing, a hardware switch holding the radio off), the radio would stay
// soft-blocked, and systemd-rfkill would carry that block across every later
// boot. So a record (RadioSleepRecord) says "this radio was switched off by
// Hushmoor for a sleep and has not been switched on since". It is written
// before the radio goes off for a sleep and removed only when that is no
// longer true: Hushmoor's switch-on succeeded, the radio is seen on (someone
// else switched it on), or the switch-off itself failed. Until then it stays,
// across later sleeps, wakes, quits and launches, and whenever it is pending
// outside a sleep (at a launch, after a wake, when the kernel reports a
// change of the radios) the guard finishes the job: it switches the radio
// on as soon as it is there and held off by software only.
//
// Which layer knows "for a sleep": neither the radio nor the power layer
// alone. CWInterface knows that the radio is switched, and IOKit's delivery
// knows which notification the application is handling meanwhile
// (IOPMHandling.h). The guard joins the two here, in the platform, so that the
// application's handler keeps to its own logic and every wireless backend,
// real or simulated, behaves alike: a radio switched off while a will-sleep
// is handled is off for that sleep.
//
// Everything here runs on the main thread and blocks on the file system (the
// record is written durably) and on the radio; nothing waits on the network
// or on another process.
#pragma once

#include <optional>
#include <string>

#include "platform/iokit/IOPMLib.h"

class RadioSleepGuard {
 public:
  // The process's guard; made on first use, which also starts watching the
  // power notifications. Main thread only.
  static RadioSleepGuard& shared();

  // The launch's step, after the check for another running copy and before
  // the application looks for its interface. Starts the run afresh (state
  // from an earlier launch in this process is dropped), removes temporary
  // files left by a record write that a crash cut short, and reads a record
  // left by an earlier run: a readable one is acted on as described above
  // (with one log line saying what happened); one that is not a record is
  // removed with a warning; a record folder that cannot be used gets one
  // warning for the run. Must not be called from a notification callback.
  //
  // A record from an earlier boot is honoured like one from this boot: the
  // soft block was most likely carried over by systemd-rfkill from the
  // shut-down. The radio is found again by the name it was switched by, like
  // every switch, since rfkill indices may change across a resume or a
  // reboot; the device, boot and time are kept for a person reading the
  // record.
  void restoreAfterUnfinishedSleep();

  // CWInterface::setPower, around each power request. Before switching off
  // for a sleep the record is written (a warning, once per run, when it
  // cannot be; the sleep goes on). A switch-on that succeeded, or a
  // switch-off for a sleep that failed, removes it.
  void radioWillSwitch(const std::string& bsdName, bool on);
  void radioSwitched(bool on, bool succeeded);

 private:
  RadioSleepGuard();
  void notificationHandling(natural_t messageType, bool handled);
  // Acts on a pending record outside a sleep; see the class comment.
  void settle();
  void forget();
  void watchRadios(bool watch);
  void reportRecordProblem(const std::string& problem);

  enum class Waiting { Nothing, Absent, HardBlocked, SwitchFailed };

  std::optional<std::string> pending_;  // the interface of a record on disk
  bool inSleep_ = false;                // from a will-sleep to the end of its wake
  bool writtenForThisSwitch_ = false;
  bool powerOnAskedDuringWake_ = false;
  bool powerOnFailedDuringWake_ = false;
  bool watching_ = false;
  Waiting waiting_ = Waiting::Nothing;  // what the last settle() waits for
  bool recordProblemReported_ = false;
  bool watchProblemReported_ = false;
};
