// The rfkill backend keeps the contract of the simulated one, on a fake sysfs
// tree whose "kernel" is played by the test: each request written to the
// device file is applied to the tree at once, as the real one does inside
// write(). The logind backend's side of the power contract is checked, with
// its own timing, by LogindSleepInhibitorTest.
#include <fcntl.h>
#include <linux/rfkill.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/corewlan/WirelessRfkill.h"
#include "tests/linux/support/FakeSysfs.h"
#include "tests/platform/WirelessBackendContract.h"

namespace {

class KernelPlayingRfkill : public WirelessRfkill {
 public:
  explicit KernelPlayingRfkill(std::unique_ptr<FakeSysfs> sys)
      : WirelessRfkill(sys->paths()), sys_(std::move(sys)) {}
  bool setRadioPower(const std::string& name, bool on, std::shared_ptr<NSError>* error) override {
    const auto device = std::filesystem::path(sys_->paths().devicePath);
    if (std::filesystem::is_regular_file(device)) std::filesystem::resize_file(device, 0);
    if (!WirelessRfkill::setRadioPower(name, on, error)) return false;
    const auto bytes = sys_->written();
    if (bytes.size() == sizeof(rfkill_event) && bytes[5] == RFKILL_OP_CHANGE && bytes[0] == 0)
      sys_->setBlocks("phy0", 0, bytes[6] != 0, false);
    return true;
  }
  void breakDevice() {
    const auto device = std::filesystem::path(sys_->paths().devicePath);
    std::filesystem::remove(device);
    std::filesystem::create_directory(device);  // writing it now fails with EISDIR
  }

 private:
  std::unique_ptr<FakeSysfs> sys_;
};

struct RfkillWirelessTraits {
  static std::shared_ptr<WirelessBackend> make() {
    auto sys = std::make_unique<FakeSysfs>();
    sys->addInterface("wlp2s0", 3, "phy0");
    sys->addRfkill("phy0", 0, false, false);
    return std::make_shared<KernelPlayingRfkill>(std::move(sys));
  }
  static std::string presentInterface() { return "en1"; }
  static void makeRequestsFail(WirelessBackend& backend) {
    static_cast<KernelPlayingRfkill&>(backend).breakDevice();
  }
};

}  // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Rfkill, WirelessBackendContract,
                               ::testing::Types<RfkillWirelessTraits>);
