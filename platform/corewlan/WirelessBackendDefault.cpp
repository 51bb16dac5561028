// The wireless backend of a program that installs none (the shipped executable
// installs the rfkill one): a machine without wireless interfaces, so the
// application reports that it cannot reach the radio and quits.
#include <cerrno>

#include "platform/corewlan/WirelessBackend.h"

namespace {
class NoWirelessBackend : public WirelessBackend {
 public:
  bool hasInterface(const std::string&) override { return false; }
  bool radioPower(const std::string&) override { return false; }
  bool setRadioPower(const std::string&, bool, std::shared_ptr<NSError>* error) override {
    if (error != nullptr)
      *error = NSError::errorWithDomain("NSPOSIXErrorDomain", ENODEV, "No such device");
    return false;
  }
};
}  // namespace

std::shared_ptr<WirelessBackend> makeDefaultWirelessBackend() {
  return std::make_shared<NoWirelessBackend>();
}
