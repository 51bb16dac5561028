// The installed wireless backend.
#include "platform/corewlan/WirelessBackend.h"

#include "platform/foundation/PlatformServices.h"

WirelessBackend& currentWirelessBackend() {
  return PlatformServices::use(&PlatformServices::wireless, makeDefaultWirelessBackend);
}

std::optional<RadioBlocks> WirelessBackend::radioBlocks(const std::string& bsdName) {
  if (!hasInterface(bsdName)) return std::nullopt;
  return RadioBlocks{!radioPower(bsdName), false};
}

bool WirelessBackend::watchRadioChanges(RadioChangeHandler changed, std::string* problem) {
  if (changed && problem != nullptr) *problem = "this machine does not report radio changes";
  return !changed;
}
