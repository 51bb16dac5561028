// A fake sysfs tree laid out like the kernel's (class/net/<if> with ifindex
// and a phy80211 link to the phy, whose rfkill<N> folder holds index, soft and
// hard), and a plain file in place of /dev/rfkill that keeps what is written.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/linux/RfkillRadio.h"

class FakeSysfs {
 public:
  FakeSysfs() {
    root_ = std::filesystem::temp_directory_path() /
            ("hushmoor-sysfs-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_ / "sys" / "class" / "net");
    std::filesystem::create_directories(root_ / "dev");
    std::ofstream(root_ / "dev" / "rfkill");  // stands in for the character device
  }
  ~FakeSysfs() { std::filesystem::remove_all(root_); }

  // A network interface; with a phy name it is wireless and linked to that phy.
  void addInterface(const std::string& name, int ifindex, const std::string& phy = "") {
    const std::filesystem::path dir = root_ / "sys" / "class" / "net" / name;
    std::filesystem::create_directories(dir);
    write(dir / "ifindex", std::to_string(ifindex));
    if (!phy.empty()) {
      std::filesystem::create_directories(phyDir(phy));
      write(phyDir(phy) / "name", phy);
      std::filesystem::create_directory_symlink(std::filesystem::relative(phyDir(phy), dir),
                                                dir / "phy80211");
    }
  }
  void addRfkill(const std::string& phy, int index, bool soft, bool hard) {
    const std::filesystem::path dir = phyDir(phy) / ("rfkill" + std::to_string(index));
    std::filesystem::create_directories(dir);
    write(dir / "index", std::to_string(index));
    setBlocks(phy, index, soft, hard);
  }
  void setBlocks(const std::string& phy, int index, bool soft, bool hard) {
    const std::filesystem::path dir = phyDir(phy) / ("rfkill" + std::to_string(index));
    write(dir / "soft", soft ? "1" : "0");
    write(dir / "hard", hard ? "1" : "0");
  }
  void removeRfkill(const std::string& phy, int index) {
    std::filesystem::remove_all(phyDir(phy) / ("rfkill" + std::to_string(index)));
  }

  RfkillPaths paths() const {
    return {(root_ / "sys").string(), (root_ / "dev" / "rfkill").string()};
  }
  std::vector<unsigned char> written() const {
    std::ifstream in(root_ / "dev" / "rfkill", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::filesystem::path root() const { return root_; }

 private:
  std::filesystem::path phyDir(const std::string& phy) const {
    return root_ / "sys" / "devices" / "pci0000:00" / "0000:00:14.3" / "ieee80211" / phy;
  }
  static void write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
  }
  std::filesystem::path root_;
  static inline int counter_ = 0;
};
