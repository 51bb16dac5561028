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
// alone. The wireless backend knows that the radio is switched, and IOKit's
// delivery tells when the application starts and ends handling each
// notification (IOPMHandling.h). The guard joins the two in the platform, as
// a decorator of the wireless backend that the machine installs (LinuxMachine,
// the simulated machine) together with its launch step, so that the
// application keeps to its own logic and every backend, real or simulated,
// behaves alike: a radio switched off while a will-sleep is handled is off
// for that sleep. For the time of each notification the guard holds the
// radio's resolution, so its record and its switch name the same device.
//
// Everything here runs on the main thread. Switching the radio through the
// guard blocks on the file system (the record is written durably, fsync'd)
// as well as on the radio; nothing waits on the network or on another
// process.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/corewlan/WirelessBackend.h"
#include "platform/iokit/IOPMLib.h"

class RadioSleepGuard : public WirelessBackend {
 public:
  // Guards `radios`; watches IOKit's deliveries until destroyed. Main thread.
  explicit RadioSleepGuard(std::shared_ptr<WirelessBackend> radios);
  ~RadioSleepGuard() override;
  RadioSleepGuard(const RadioSleepGuard&) = delete;
  RadioSleepGuard& operator=(const RadioSleepGuard&) = delete;

  // The machine's launch step (PlatformServices::launchStep): after the check
  // for another running copy and before the application looks for its
  // interface. Removes temporary files left by
  // a record write that a crash cut short, and reads a record left by an
  // earlier run: a readable one is acted on as described above (with one log
  // line saying what happened); one that is not a record is removed with a
  // warning; a record folder that cannot be used gets one warning for the
  // run. Must not be called from a notification callback.
  //
  // A record from an earlier boot is honoured like one from this boot: the
  // soft block was most likely carried over by systemd-rfkill from the
  // shut-down. The radio is found again by the name it was switched by, like
  // every switch, since rfkill indices may change across a resume or a
  // reboot; the device, boot and time are kept for a person reading the
  // record.
  void restoreAfterUnfinishedSleep();

  // The clock of the reminder that a switch-on still fails (logged again at
  // most once an hour, with the count); the simulated machine sets its own.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  void setClock(Clock clock) { clock_ = std::move(clock); }

  bool hasInterface(const std::string& bsdName) override { return radios_->hasInterface(bsdName); }
  bool radioPower(const std::string& bsdName) override { return radios_->radioPower(bsdName); }
  // Before switching off for a sleep the record is written (a warning, once
  // per run, when it cannot be; the sleep goes on). A switch-on that
  // succeeded, or a switch-off for a sleep that failed, removes it.
  bool setRadioPower(const std::string& bsdName, bool on, std::shared_ptr<NSError>* error) override;
  std::optional<RadioBlocks> radioBlocks(const std::string& bsdName) override {
    return radios_->radioBlocks(bsdName);
  }
  std::string radioDevice(const std::string& bsdName) override {
    return radios_->radioDevice(bsdName);
  }

 private:
  void notificationHandling(natural_t messageType, bool handled);
  // Acts on a pending record outside a sleep; see the class comment.
  void settle();
  void forget();
  void watchRadios(bool watch);
  void reportRecordProblem(const std::string& problem);

  enum class Waiting { Nothing, Absent, HardBlocked, SwitchFailed };

  std::shared_ptr<WirelessBackend> radios_;
  uint64_t observer_ = 0;
  std::vector<natural_t> handling_;     // the notifications being handled, innermost last
  std::optional<std::string> pending_;  // the interface of a record on disk
  bool inSleep_ = false;                // from a will-sleep to the end of its wake
  bool powerOnFailedDuringWake_ = false;
  bool watching_ = false;
  Waiting waiting_ = Waiting::Nothing;  // what the last settle() waits for
  unsigned failedSwitches_ = 0;         // switch-ons failed since the record was written
  std::chrono::steady_clock::time_point failureReported_;
  Clock clock_ = [] { return std::chrono::steady_clock::now(); };
  bool recordProblemReported_ = false;
  bool watchProblemReported_ = false;
};
