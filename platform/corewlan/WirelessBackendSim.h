// The simulated machine's wireless hardware: one interface "en1" (present,
// radio on, at first), whose presence, radio state and failures are set by a
// test or script. Successful power changes are reported. A change of the
// hardware's state by the test or script (not by a power request) goes to the
// radio change handler, as the kernel reports it to a program watching.
#pragma once

#include <functional>
#include <string>

#include "platform/corewlan/WirelessBackend.h"

class WirelessBackendSim : public WirelessBackend {
 public:
  static constexpr const char* kInterfaceName = "en1";
  using PowerObserver = std::function<void(bool on)>;

  void setPowerObserver(PowerObserver observer) { observer_ = std::move(observer); }
  // The hardware's state: whether the interface is there and its radio on.
  // Reported to the radio change handler when it changes.
  void setHardware(bool present, bool on, bool reportAnyway = false);
  void setPresent(bool present) { setHardware(present, radioOn_); }
  void setRadio(bool on) { setHardware(present_, on); }
  // The kernel reports a change of some other radio (a Bluetooth switch, a
  // second card): the watchers hear of it, this radio stays as it is.
  void reportOtherChange() { setHardware(present_, radioOn_, true); }
  void setFailPowerOff(bool fail) { failOff_ = fail; }
  void setFailPowerOn(bool fail) { failOn_ = fail; }
  bool present() const { return present_; }
  bool radio() const { return radioOn_; }

  bool hasInterface(const std::string& bsdName) override;
  bool radioPower(const std::string& bsdName) override;
  bool setRadioPower(const std::string& bsdName, bool on, std::shared_ptr<NSError>* error) override;
  bool watchRadioChanges(RadioChangeHandler changed, std::string* problem) override;

 private:
  bool present_ = true;
  bool radioOn_ = true;
  bool failOff_ = false;
  bool failOn_ = false;
  PowerObserver observer_;
  RadioChangeHandler changed_;
};
