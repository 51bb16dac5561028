// The simulated machine's home folder: HOME, XDG_CONFIG_HOME (DIR/.config),
// XDG_DATA_HOME and the runtime folder all lie in it. A given folder is kept
// after the run; without one, a fresh temporary home is removed afterwards.
// The runtime folder holds the event sockets of System Events and of the
// application, whose paths have a small limit: when DIR/.run would be too long
// for them, a short temporary folder stands in for it and is always removed.
#pragma once

#include <optional>
#include <string>

class SimHome {
 public:
  // Creates the folders and points the environment at them; throws
  // std::runtime_error with the reason when that fails.
  explicit SimHome(const std::optional<std::string>& folder);
  ~SimHome();
  SimHome(const SimHome&) = delete;
  SimHome& operator=(const SimHome&) = delete;

  const std::string& path() const { return path_; }
  // Where the application's bundle is installed on the simulated machine.
  std::string bundlePath() const { return path_ + "/Applications/Hushmoor.app"; }

 private:
  std::string path_;
  bool temporary_ = false;
  std::string shortRuntime_;  // the stand-in runtime folder, when one was needed
};
