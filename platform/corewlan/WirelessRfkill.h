// The real machine's wireless backend: rfkill (see RfkillRadio). Each call
// resolves the interface afresh, since rfkill indices can change across a
// resume, except while the resolution is held (one notification's calls).
#pragma once

#include <glib.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/corewlan/WirelessBackend.h"
#include "platform/linux/RfkillRadio.h"

class WirelessRfkill : public WirelessBackend {
 public:
  explicit WirelessRfkill(RfkillPaths paths) : paths_(std::move(paths)) {}
  ~WirelessRfkill() override;

  bool hasInterface(const std::string& bsdName) override;
  bool radioPower(const std::string& bsdName) override;
  bool setRadioPower(const std::string& bsdName, bool on, std::shared_ptr<NSError>* error) override;
  // rfkill's soft and hard block of the interface's radio.
  std::optional<RadioBlocks> radioBlocks(const std::string& bsdName) override;
  // "<interface> (<phy>, rfkill<N>)": "wlp2s0 (phy0, rfkill1)".
  std::string radioDevice(const std::string& bsdName) override;
  // Reads the kernel's rfkill events from the device (opened read-only, so
  // a seat user's access suffices), on the main context. The kernel
  // announces a new radio before its interface exists, so an addition is
  // reported once more a second later.
  bool watchRadioChanges(RadioChangeHandler changed, std::string* problem) override;
  void holdResolution(bool hold) override;

 private:
  std::optional<RfkillRadio> find(const std::string& bsdName);
  void dropSource(GSource*& source);
  static gboolean onEvents(gint fd, GIOCondition condition, gpointer self);
  static gboolean onLateAddition(gpointer self);
  void stopWatching();

  RfkillPaths paths_;
  RadioChangeHandler changed_;
  int watchFd_ = -1;
  GSource* watch_ = nullptr;
  GSource* lateAddition_ = nullptr;
  bool held_ = false;
  std::map<std::string, std::optional<RfkillRadio>> resolved_;
};
