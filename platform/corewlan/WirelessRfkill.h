// The real machine's wireless backend: rfkill (see RfkillRadio). Every call
// resolves the interface afresh, since rfkill indices can change across a
// resume.
#pragma once

#include <memory>
#include <string>

#include "platform/corewlan/WirelessBackend.h"
#include "platform/linux/RfkillRadio.h"

class WirelessRfkill : public WirelessBackend {
 public:
  explicit WirelessRfkill(RfkillPaths paths) : paths_(std::move(paths)) {}

  bool hasInterface(const std::string& bsdName) override;
  bool radioPower(const std::string& bsdName) override;
  bool setRadioPower(const std::string& bsdName, bool on, std::shared_ptr<NSError>* error) override;
  // rfkill's soft and hard block of the interface's radio.
  std::optional<RadioBlocks> radioBlocks(const std::string& bsdName) override;
  // "rfkill<N> of <interface> (<phy>)".
  std::string radioDevice(const std::string& bsdName) override;

 private:
  RfkillPaths paths_;
};
