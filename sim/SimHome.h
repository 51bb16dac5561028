// A private home for a run of the application: HOME, XDG_CONFIG_HOME
// (DIR/.config), XDG_DATA_HOME, XDG_STATE_HOME and the runtime folder all lie
// in it, so a System Events started meanwhile uses them too. hushmoor-sim
// runs in one, and so does each test that touches the user's files. A given
// folder is kept after the run; without one, a fresh temporary home is
// removed afterwards. The runtime folder holds the event sockets of System
// Events and of the application, whose paths have a small limit: when
// DIR/.run would be too long for them, a short temporary folder stands in for
// it and is always removed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class SimHome {
 public:
  // Creates the folders and points the environment at them; throws
  // std::runtime_error with the reason when that fails.
  explicit SimHome(const std::optional<std::string>& folder);
  // Stops the home's System Events, puts the environment back as it was and
  // removes a temporary home.
  ~SimHome();
  SimHome(const SimHome&) = delete;
  SimHome& operator=(const SimHome&) = delete;

  const std::string& path() const { return path_; }
  std::string configFolder() const { return path_ + "/.config"; }
  std::string autostartFolder() const { return configFolder() + "/autostart"; }
  const std::string& runtimeFolder() const { return runtime_; }
  // Where the application's bundle is installed on the simulated machine.
  std::string bundlePath() const { return path_ + "/Applications/Hushmoor.app"; }

  // Stops the System Events of the runtime folder in the environment, if one
  // runs (and is not this process); true when none is left. Blocks up to
  // some seconds.
  static bool stopSystemEvents();

 private:
  // Sets (none: unsets) a variable, keeping its value to put back.
  void set(const char* name, const std::optional<std::string>& value);

  std::string path_, runtime_;
  bool temporary_ = false;
  std::string shortRuntime_;  // the stand-in runtime folder, when one was needed
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};
