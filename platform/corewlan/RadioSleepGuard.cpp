// The record of a radio switched off for a sleep, and the guard that keeps it
// until the radio is on again.
#include "platform/corewlan/RadioSleepGuard.h"

#include <glib.h>

#include "platform/corewlan/RadioSleepRecord.h"
#include "platform/foundation/NSLog.h"
#include "platform/iokit/IOPMHandling.h"

RadioSleepGuard::RadioSleepGuard(std::shared_ptr<WirelessBackend> radios)
    : radios_(std::move(radios)) {
  observer_ = IOPMAddHandlingObserver(
      [this](natural_t messageType, bool handled) { notificationHandling(messageType, handled); });
}

RadioSleepGuard::~RadioSleepGuard() {
  IOPMRemoveHandlingObserver(observer_);
  watchRadios(false);
}

void RadioSleepGuard::restoreAfterUnfinishedSleep() {
  const std::string path = RadioSleepRecord::path();
  // Only one copy runs per user, so no other write can be under way.
  RadioSleepRecord::removeTemporaries(path);
  const RadioSleepRecord::Reading reading = RadioSleepRecord::read(path);
  if (reading.inaccessible) {
    reportRecordProblem(reading.problem);
  } else if (reading.present && !reading.record) {
    NSLog("WARN (%s:%d): removing %s, which is not a readable record of an unfinished sleep: %s",
          __func__, __LINE__, path, reading.problem);
    if (auto problem = RadioSleepRecord::remove(path)) reportRecordProblem(problem->description);
  } else if (reading.record) {
    pending_ = reading.record->interfaceName;
    settle();
  }
}

bool RadioSleepGuard::setRadioPower(const std::string& bsdName, bool on,
                                    std::shared_ptr<NSError>* error) {
  const natural_t handling = handling_.empty() ? 0 : handling_.back();
  // Written before the radio goes off, so that no moment exists where the
  // radio is off for a sleep and nothing says so.
  bool written = false;
  if (!on && handling == kIOMessageSystemWillSleep) {
    const RadioSleepRecord record{bsdName, radios_->radioDevice(bsdName),
                                  RadioSleepRecord::currentBootId(),
                                  g_get_real_time() / G_USEC_PER_SEC};
    if (auto problem = record.write(RadioSleepRecord::path())) {
      reportRecordProblem(problem->description);
    } else {
      pending_ = bsdName;
      written = true;
    }
  }
  const bool switched = radios_->setRadioPower(bsdName, on, error);
  // A radio seen on needs no record, whoever switched it on: kept, it would
  // switch the radio on again after the user switches it off. So a failed
  // switch-on looks at the radio too (someone may have switched it on during
  // the sleep), and a failed switch-off leaves the radio on.
  const auto seenOn = [&] {
    const std::optional<RadioBlocks> blocks = radios_->radioBlocks(bsdName);
    return blocks && !blocks->soft;
  };
  if (on && !switched && pending_ && seenOn()) {
    forget();
  } else if (on && !switched && handling == kIOMessageSystemHasPoweredOn) {
    powerOnFailedDuringWake_ = true;
  }
  if ((on && switched) || (!on && !switched && written)) forget();
  return switched;
}

void RadioSleepGuard::notificationHandling(natural_t messageType, bool handled) {
  if (!handled) {
    if (handling_.empty()) radios_->holdResolution(true);
    handling_.push_back(messageType);
  } else if (!handling_.empty()) {
    handling_.pop_back();
    if (handling_.empty()) radios_->holdResolution(false);
  }
  if (messageType == kIOMessageSystemWillSleep && !handled) inSleep_ = true;
  if (messageType != kIOMessageSystemHasPoweredOn) return;
  if (!handled) {
    powerOnFailedDuringWake_ = false;
    return;
  }
  inSleep_ = false;
  if (!pending_) return;
  // A switch-on that has just failed is not tried again at once: the record
  // waits for a change of the radio, a later wake or the next launch.
  if (powerOnFailedDuringWake_) {
    // The application has logged this failure itself.
    waiting_ = Waiting::SwitchFailed;
    ++failedSwitches_;
    failureReported_ = clock_();
    watchRadios(true);
  } else {
    settle();
  }
}

void RadioSleepGuard::settle() {
  if (!pending_ || inSleep_) return;
  const std::optional<RadioBlocks> blocks = radios_->radioBlocks(*pending_);
  if (blocks && !blocks->soft) {
    forget();  // switched on since, by someone else
    return;
  }
  Waiting now;
  std::shared_ptr<NSError> error;
  if (!blocks) {
    now = Waiting::Absent;
  } else if (blocks->hard) {
    now = Waiting::HardBlocked;
  } else if (radios_->setRadioPower(*pending_, true, &error)) {
    NSLog("INFO: switched the radio back on after an unfinished sleep");
    forget();
    return;
  } else {
    now = Waiting::SwitchFailed;
    ++failedSwitches_;
  }
  // One line for each new reason to wait, not one for every change of the
  // radios while it lasts; a switch-on that keeps failing is told again once
  // an hour, so a radio left off is never silent for long.
  const bool remind = now == Waiting::SwitchFailed && waiting_ == now &&
                      clock_() - failureReported_ >= std::chrono::hours(1);
  if (remind) {
    NSLog("WARN (%s:%d): still couldn't switch the radio back on after an unfinished sleep (%s "
          "tries failed): %@",
          __func__, __LINE__, std::to_string(failedSwitches_), error);
    failureReported_ = clock_();
  } else if (now != waiting_) {
    if (now == Waiting::SwitchFailed) failureReported_ = clock_();
    if (now == Waiting::Absent)
      NSLog(
          "INFO: the radio Hushmoor switched off for a sleep is not there; it is switched back "
          "on when it comes back");
    else if (now == Waiting::HardBlocked)
      NSLog(
          "INFO: the radio Hushmoor switched off for a sleep is held off by its hardware "
          "switch; it is switched back on when the switch is released");
    else
      NSLog("WARN (%s:%d): couldn't switch the radio back on after an unfinished sleep: %@",
            __func__, __LINE__, error);
  }
  waiting_ = now;
  watchRadios(true);
}

void RadioSleepGuard::forget() {
  pending_.reset();
  waiting_ = Waiting::Nothing;
  failedSwitches_ = 0;
  watchRadios(false);
  if (auto problem = RadioSleepRecord::remove(RadioSleepRecord::path()))
    reportRecordProblem(problem->description);
}

void RadioSleepGuard::watchRadios(bool watch) {
  if (watch == watching_) return;
  watching_ = watch;
  if (!watch) {
    radios_->watchRadioChanges(nullptr, nullptr);
    return;
  }
  std::string problem;
  if (!radios_->watchRadioChanges([this] { settle(); }, &problem)) {
    watching_ = false;
    if (watchProblemReported_) return;
    watchProblemReported_ = true;
    NSLog(
        "WARN (%s:%d): the radio is switched back on at the next wake or launch, not before: "
        "%s",
        __func__, __LINE__, problem);
  }
}

void RadioSleepGuard::reportRecordProblem(const std::string& problem) {
  if (recordProblemReported_) return;
  recordProblemReported_ = true;
  NSLog("WARN (%s:%d): the radio stays off if Hushmoor ends between a sleep and its wake: %s",
        __func__, __LINE__, problem);
}
