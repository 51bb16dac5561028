// The installed wireless backend.
#include "platform/corewlan/WirelessBackend.h"

namespace {
std::shared_ptr<WirelessBackend>& installed() {
  static std::shared_ptr<WirelessBackend> backend;
  return backend;
}
}  // namespace

void installWirelessBackend(std::shared_ptr<WirelessBackend> backend) {
  installed() = std::move(backend);
}

WirelessBackend& currentWirelessBackend() {
  if (!installed()) installed() = makeDefaultWirelessBackend();
  return *installed();
}

std::optional<RadioBlocks> WirelessBackend::radioBlocks(const std::string& bsdName) {
  if (!hasInterface(bsdName)) return std::nullopt;
  return RadioBlocks{!radioPower(bsdName), false};
}

bool WirelessBackend::watchRadioChanges(RadioChangeHandler changed, std::string* problem) {
  if (changed && problem != nullptr) *problem = "this machine does not report radio changes";
  return !changed;
}
