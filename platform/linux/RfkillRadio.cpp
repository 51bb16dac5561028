// Sysfs layout relied on (see Documentation/ABI/stable/sysfs-class-rfkill):
//   <sysfs>/class/net/<if>/ifindex             the interface index
//   <sysfs>/class/net/<if>/phy80211            link to the wireless phy's folder
//   <phy folder>/rfkill<N>/{index,soft,hard}   the phy's rfkill device
#include "platform/linux/RfkillRadio.h"

#include <fcntl.h>
#include <linux/rfkill.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::optional<std::string> readFirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ' || line.back() == '\r'))
    line.pop_back();
  return line;
}

std::optional<uint64_t> readNumber(const fs::path& file) {
  auto text = readFirstLine(file);
  if (!text) return std::nullopt;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return value;
}

// Interface names are single path components of at most IFNAMSIZ-1 bytes;
// anything else must not be allowed to walk around the sysfs tree.
bool plausibleInterfaceName(const std::string& name) {
  return !name.empty() && name.size() < 16 && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

struct RfkillDevice {
  uint32_t index;
  fs::path dir;
};

// The phy's rfkill device, the one with the lowest index should a driver ever
// register more than one.
std::optional<RfkillDevice> rfkillOfPhy(const fs::path& phyDir) {
  std::optional<RfkillDevice> best;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(phyDir, ec)) {
    const std::string leaf = entry.path().filename().string();
    if (leaf.rfind("rfkill", 0) != 0 || leaf.size() == 6) continue;
    uint32_t fromName = 0;
    auto [end, err] = std::from_chars(leaf.data() + 6, leaf.data() + leaf.size(), fromName);
    if (err != std::errc() || end != leaf.data() + leaf.size()) continue;
    // The index file is authoritative; the folder name carries the same number.
    auto index = readNumber(entry.path() / "index");
    const uint32_t idx = index && *index <= UINT32_MAX ? static_cast<uint32_t>(*index) : fromName;
    if (!best || idx < best->index) best = RfkillDevice{idx, entry.path()};
  }
  return best;
}

}  // namespace

std::optional<RfkillRadio> RfkillRadio::find(const std::string& name, const RfkillPaths& paths) {
  const fs::path netRoot = fs::path(paths.sysfsRoot) / "class" / "net";
  std::error_code ec;

  auto radioFor = [&](const std::string& ifname) -> std::optional<RfkillRadio> {
    const fs::path phyDir = netRoot / ifname / "phy80211";
    if (!fs::is_directory(phyDir, ec)) return std::nullopt;
    auto device = rfkillOfPhy(phyDir);
    if (!device) return std::nullopt;
    return RfkillRadio(ifname, device->index, device->dir.string(), paths);
  };

  if (plausibleInterfaceName(name)) {
    if (auto radio = radioFor(name)) return radio;
  }
  if (name != "en1") return std::nullopt;

  // "en1" is the conventional name of the built-in wireless interface; here
  // it stands for the wireless interface the kernel registered first.
  std::optional<RfkillRadio> chosen;
  uint64_t chosenIndex = UINT64_MAX;
  for (const auto& entry : fs::directory_iterator(netRoot, ec)) {
    const std::string ifname = entry.path().filename().string();
    if (!fs::is_directory(entry.path() / "phy80211", ec)) continue;
    auto ifindex = readNumber(entry.path() / "ifindex");
    if (!ifindex || *ifindex >= chosenIndex) continue;
    if (auto radio = radioFor(ifname)) {
      chosen = std::move(radio);
      chosenIndex = *ifindex;
    }
  }
  return chosen;
}

std::string RfkillRadio::phyName() const {
  // The rfkill folder lies under the phy's own (.../ieee80211/phy0/rfkill1),
  // reached through the interface's phy80211 link.
  std::error_code ec;
  const fs::path phy = fs::path(rfkillDir_).parent_path();
  const fs::path target = fs::read_symlink(phy, ec);
  return (ec ? phy : target).filename().string();
}

std::optional<RfkillState> RfkillRadio::state(SystemError* error) const {
  const fs::path dir(rfkillDir_);
  auto soft = readNumber(dir / "soft");
  auto hard = readNumber(dir / "hard");
  if (!soft || !hard) {
    if (error)
      *error = SystemError::fromErrno(
          ENODEV, "Couldn't read the radio state of " + interface_ + " (" + dir.string() + ")");
    return std::nullopt;
  }
  return RfkillState{*soft != 0, *hard != 0};
}

bool RfkillRadio::setPower(bool on, SystemError* error) const {
  const std::string what =
      std::string("Couldn't switch the radio of ") + interface_ + (on ? " on" : " off");
  SystemError stateError;
  auto current = state(&stateError);
  if (!current) {
    // The device vanished since it was looked up: the interface went away.
    if (error)
      *error =
          SystemError::fromErrno(ENODEV, what + " (rfkill" + std::to_string(index_) + " is gone)");
    return false;
  }
  if (on && current->hardBlocked) {
    if (error)
      *error = SystemError::fromErrno(ERFKILL, what + " (it is blocked by a hardware switch)");
    return false;
  }

  struct rfkill_event event;
  std::memset(&event, 0, sizeof event);
  event.idx = index_;
  event.type = RFKILL_TYPE_WLAN;  // a reused index of another kind of radio is left alone
  event.op = RFKILL_OP_CHANGE;
  event.soft = on ? 0 : 1;
  static_assert(sizeof event == RFKILL_EVENT_SIZE_V1 && sizeof event == 8);

  const int fd = ::open(paths_.devicePath.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    const int code = errno;
    if (error) *error = SystemError::fromErrno(code, what + " (" + paths_.devicePath + ")");
    return false;
  }
  ssize_t written;
  do {
    written = ::write(fd, &event, sizeof event);
  } while (written < 0 && errno == EINTR);
  const int code = written < 0 ? errno : (written != sizeof event ? EIO : 0);
  ::close(fd);
  if (code != 0) {
    if (error) *error = SystemError::fromErrno(code, what + " (" + paths_.devicePath + ")");
    return false;
  }
  return true;
}
