// The Linux backends keep the same contracts as the simulated ones: logind
// (dbusmock on a private bus) and rfkill (a fake sysfs tree whose "kernel" is
// played by the test: each request written to the device file is applied to
// the tree at once, as the real one does inside write()).
#include <fcntl.h>
#include <linux/rfkill.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/corewlan/WirelessRfkill.h"
#include "platform/iokit/PowerSourceLogind.h"
#include "tests/linux/support/FakeSysfs.h"
#include "tests/linux/support/TestBus.h"
#include "tests/platform/PowerSourceContract.h"
#include "tests/platform/WirelessBackendContract.h"

namespace {

// One bus and one logind for the whole program.
struct SharedLogind {
  PrivateSystemBus bus;
  MockLogind logind{bus};
  static SharedLogind& get() {
    static SharedLogind instance;
    return instance;
  }
};

// PowerSourceLogind counting what it delivers, so that waiting for a delivery
// ends as soon as it has come.
class CountedPowerSource : public PowerSourceLogind {
 public:
  using PowerSourceLogind::PowerSourceLogind;
  uint32_t registerForSystemPower(Delivery deliver) override {
    const uint32_t r =
        PowerSourceLogind::registerForSystemPower([deliver](uint32_t type, intptr_t id) {
          ++delivered;
          deliver(type, id);
        });
    live += r != 0;
    return r;
  }
  void deregister(uint32_t registration) override {
    if (live > 0) --live;  // the contract deregisters only what it registered
    PowerSourceLogind::deregister(registration);
  }
  static inline int delivered = 0, live = 0, seen = 0;
};

struct LogindPowerTraits {
  static std::shared_ptr<PowerSource> make() {
    CountedPowerSource::live = 0;
    PowerSourceLogind::Options options;
    options.logind.busAddress = SharedLogind::get().bus.address();
    return std::make_shared<CountedPowerSource>(options);
  }
  static void post(PowerSource&, uint32_t messageType) {
    SharedLogind::get().logind.emitPrepareForSleep(messageType == kIOMessageSystemWillSleep);
  }
  static void runUntilDelivered() {
    // With a registration the notice must come; without one, give a stray
    // delivery a fair chance to show before concluding that none comes.
    if (CountedPowerSource::live > 0)
      runUntil([] { return CountedPowerSource::delivered > CountedPowerSource::seen; });
    else
      runUntil([] { return false; }, 300);
    CountedPowerSource::seen = CountedPowerSource::delivered;
  }
};

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

INSTANTIATE_TYPED_TEST_SUITE_P(Logind, PowerSourceContract, ::testing::Types<LogindPowerTraits>);
INSTANTIATE_TYPED_TEST_SUITE_P(Rfkill, WirelessBackendContract,
                               ::testing::Types<RfkillWirelessTraits>);
