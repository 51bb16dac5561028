// A fake sysfs tree laid out like the kernel's, with a plain file in place of
// /dev/rfkill that keeps the bytes written: for the rfkill backend's tests.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/linux/RfkillRadio.h"

// class/net/<if> with ifindex and a phy80211 link to the phy, whose
// rfkill<N> folder holds index, soft and hard.
class FakeSysfs {
 public:
  FakeSysfs()
      : root_(std::filesystem::temp_directory_path() /
              ("hm-sysfs-" + std::to_string(::getpid()) + "-" + std::to_string(count_++))) {
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "sys/class/net");
    std::ofstream(root_ / "rfkill");
  }
  ~FakeSysfs() { std::filesystem::remove_all(root_); }
  // With a phy (and its rfkill device) the interface is wireless.
  void add(const std::string& name, int ifindex, const std::string& phy = "", int rfkill = -1) {
    const std::filesystem::path dir = root_ / "sys/class/net" / name;
    std::filesystem::create_directories(dir);
    write(dir / "ifindex", std::to_string(ifindex));
    if (phy.empty()) return;
    std::filesystem::create_directories(phyDir(phy));
    std::filesystem::create_directory_symlink(phyDir(phy), dir / "phy80211");
    if (rfkill < 0) return;
    std::filesystem::create_directories(phyDir(phy) / ("rfkill" + std::to_string(rfkill)));
    write(phyDir(phy) / ("rfkill" + std::to_string(rfkill)) / "index", std::to_string(rfkill));
    setBlocks(phy, rfkill, false, false);
  }
  void setBlocks(const std::string& phy, int rfkill, bool soft, bool hard) {
    write(phyDir(phy) / ("rfkill" + std::to_string(rfkill)) / "soft", soft ? "1" : "0");
    write(phyDir(phy) / ("rfkill" + std::to_string(rfkill)) / "hard", hard ? "1" : "0");
  }
  std::filesystem::path phyDir(const std::string& phy) const { return root_ / "sys/devices/ieee80211" / phy; }
  RfkillPaths paths() const { return {(root_ / "sys").string(), (root_ / "rfkill").string()}; }
  std::vector<unsigned char> takeWritten() const {
    std::ifstream in(root_ / "rfkill", std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), {}};
    std::ofstream(root_ / "rfkill", std::ios::trunc);
    return bytes;
  }

 private:
  static void write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; }
  std::filesystem::path root_;
  static inline int count_ = 0;
};
