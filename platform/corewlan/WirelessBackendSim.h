// The simulated machine's wireless hardware: one interface "en1" (present,
// radio on, at first), whose presence, radio state and failures are set by a
// test or script. Successful power changes are reported.
#pragma once

#include <functional>
#include <string>

#include "platform/corewlan/WirelessBackend.h"

class SimulatedWirelessBackend : public WirelessBackend {
 public:
  static constexpr const char* kInterfaceName = "en1";
  using PowerObserver = std::function<void(bool on)>;

  void setPowerObserver(PowerObserver observer) { observer_ = std::move(observer); }
  void setPresent(bool present) { present_ = present; }
  void setRadio(bool on) { radioOn_ = on; }  // the hardware's state; not reported
  void setFailPowerOff(bool fail) { failOff_ = fail; }
  void setFailPowerOn(bool fail) { failOn_ = fail; }
  bool present() const { return present_; }
  bool radio() const { return radioOn_; }
  int powerRequests() const { return powerRequests_; }

  bool hasInterface(const std::string& bsdName) override;
  bool radioPower(const std::string& bsdName) override;
  bool setRadioPower(const std::string& bsdName, bool on,
                     std::shared_ptr<NSError>* error) override;

 private:
  bool present_ = true;
  bool radioOn_ = true;
  bool failOff_ = false;
  bool failOn_ = false;
  int powerRequests_ = 0;
  PowerObserver observer_;
};
