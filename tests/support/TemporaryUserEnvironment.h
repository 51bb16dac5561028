// A private home for one test: its own runtime folder (event sockets) and
// configuration folder (autostart entries), set in the environment so that a
// System Events started by the test uses them too. Restores the environment
// and stops any System Events it started when it goes.
#pragma once

#include <glib.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/applevents/LaunchServices.h"
#include "systemevents/SystemEventsControl.h"

class TemporaryUserEnvironment {
 public:
  TemporaryUserEnvironment() {
    char pattern[] = "/tmp/hm-XXXXXX";  // short: socket paths have a small limit
    root_ = mkdtemp(pattern);
    runtime_ = root_ + "/run";
    config_ = root_ + "/config home";  // a space, as users have
    g_mkdir(runtime_.c_str(), 0700);
    g_mkdir(config_.c_str(), 0700);
    save("XDG_RUNTIME_DIR", runtime_);
    save("XDG_CONFIG_HOME", config_);
    save(kSystemEventsIdleQuitVariable, "30");
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
    restore("XDG_RUNTIME_DIR", oldRuntime_);
    restore("XDG_CONFIG_HOME", oldConfig_);
    restore(kSystemEventsIdleQuitVariable, oldIdle_);
    std::string command = "rm -rf '" + root_ + "'";
    if (std::system(command.c_str()) != 0) perror("rm");
  }

  const std::string& root() const { return root_; }
  const std::string& runtimeFolder() const { return runtime_; }
  std::string autostartFolder() const { return config_ + "/autostart"; }

 private:
  void save(const char* name, const std::string& value) {
    const char* old = std::getenv(name);
    std::optional<std::string> previous;
    if (old != nullptr) previous = old;
    if (std::string(name) == "XDG_RUNTIME_DIR")
      oldRuntime_ = previous;
    else if (std::string(name) == "XDG_CONFIG_HOME")
      oldConfig_ = previous;
    else
      oldIdle_ = previous;
    setenv(name, value.c_str(), 1);
  }
  static void restore(const char* name, const std::optional<std::string>& value) {
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }

  std::string root_, runtime_, config_;
  std::optional<std::string> oldRuntime_, oldConfig_, oldIdle_;
};
