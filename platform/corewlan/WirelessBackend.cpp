// The installed wireless backend.
#include "platform/corewlan/WirelessBackend.h"

#include "platform/foundation/PlatformServices.h"

WirelessBackend& currentWirelessBackend() {
  std::shared_ptr<WirelessBackend>& backend = PlatformServices::current().wireless;
  if (!backend) backend = makeDefaultWirelessBackend();
  return *backend;
}

std::optional<RadioBlocks> WirelessBackend::radioBlocks(const std::string& bsdName) {
  if (!hasInterface(bsdName)) return std::nullopt;
  return RadioBlocks{!radioPower(bsdName), false};
}

bool WirelessBackend::watchRadioChanges(RadioChangeHandler changed, std::string* problem) {
  if (changed && problem != nullptr) *problem = "this machine does not report radio changes";
  return !changed;
}
