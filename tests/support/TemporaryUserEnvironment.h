// A private user for one test: HOME, its configuration folder (user defaults,
// autostart entries), data folder and runtime folder (event sockets), and the
// build tree's applications, all set in the environment so that a System
// Events started by the test uses them too. When it goes, it stops any System
// Events it started, restores the environment and removes the folders.
#pragma once

#include <glib.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/applevents/LaunchServices.h"
#include "systemevents/SystemEventsControl.h"

class TemporaryUserEnvironment {
 public:
  TemporaryUserEnvironment() {
    char pattern[] = "/tmp/hm-XXXXXX";  // short: socket paths have a small limit
    root_ = mkdtemp(pattern);
    g_mkdir(runtimeFolder().c_str(), 0700);
    g_mkdir(configFolder().c_str(), 0700);
    set("HOME", root_);
    set("XDG_CONFIG_HOME", configFolder());
    set("XDG_DATA_HOME", root_ + "/data");
    set("XDG_RUNTIME_DIR", runtimeFolder());
    set(kSystemEventsIdleQuitVariable, "30");
    LSSetApplicationSearchFoldersForTesting({HUSHMOOR_TEST_APPLICATIONS_DIR});
  }

  ~TemporaryUserEnvironment() {
    ProcessSerialNumber psn;
    for (int attempt = 0; attempt < 3 && SystemEventsFindRunning(&psn) == noErr; ++attempt) {
      auto pid = static_cast<pid_t>(psn.lowLongOfPSN);
      if (pid == getpid()) break;  // a test published itself under 'sevs'
      if (!SystemEventsQuitAndWait(psn, 5000)) kill(pid, SIGKILL);
    }
    LSSetApplicationSearchFoldersForTesting({});
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  TemporaryUserEnvironment(const TemporaryUserEnvironment&) = delete;
  TemporaryUserEnvironment& operator=(const TemporaryUserEnvironment&) = delete;

  // The home folder.
  const std::string& root() const { return root_; }
  std::string runtimeFolder() const { return root_ + "/run"; }
  std::string configFolder() const { return root_ + "/config home"; }  // a space, as users have
  std::string autostartFolder() const { return configFolder() + "/autostart"; }

 private:
  void set(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    setenv(name, value.c_str(), 1);
  }

  std::string root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}
