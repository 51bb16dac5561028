// Setting up the simulated machine's home.
#include "sim/SimHome.h"

#include <glib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "systemevents/SystemEventsControl.h"

namespace fs = std::filesystem;

namespace {
void makeFolder(const fs::path& folder, fs::perms perms = fs::perms::owner_all) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw std::runtime_error("cannot create " + folder.string() + ": " + ec.message());
  fs::permissions(folder, perms, ec);
}
}  // namespace

SimHome::SimHome(const std::optional<std::string>& folder) {
  if (folder) {
    if (folder->empty()) throw std::runtime_error("--home needs a folder");
    makeFolder(*folder);
    path_ = fs::canonical(*folder).string();
  } else {
    GError* error = nullptr;
    gchar* made = g_dir_make_tmp("hushmoor-sim-XXXXXX", &error);
    if (made == nullptr) {
      std::string reason = error->message;
      g_error_free(error);
      throw std::runtime_error("cannot create a temporary home: " + reason);
    }
    path_ = made;
    g_free(made);
    temporary_ = true;
  }
  makeFolder(path_ + "/.config");
  makeFolder(path_ + "/.local/share");
  // "<runtime>/hushmoor-events/<pid>.<creator>.sock" must fit a socket
  // address (107 bytes); 48 leaves room for the folder, the name and a pid.
  std::string runtime = path_ + "/.run";
  if (runtime.size() + 48 > 107) {
    gchar* made = g_dir_make_tmp("hm-sim-XXXXXX", nullptr);
    if (made == nullptr) made = g_strdup("");
    shortRuntime_ = made;
    g_free(made);
    if (shortRuntime_.empty() || shortRuntime_.size() + 48 > 107) {
      std::error_code ignored;
      if (!shortRuntime_.empty()) fs::remove_all(shortRuntime_, ignored);
      throw std::runtime_error("the home " + path_ +
                               " is too deep for event sockets and no short temporary folder "
                               "could be made (set TMPDIR to a short folder)");
    }
    runtime = shortRuntime_;
  }
  makeFolder(runtime);
  makeFolder(bundlePath() + "/Contents/MacOS");
  setenv("HOME", path_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (path_ + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (path_ + "/.local/share").c_str(), 1);
  // The record of a radio switched off for a sleep stays in the run's home.
  setenv("XDG_STATE_HOME", (path_ + "/.local/state").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  // A System Events left behind by a run that crashed quits on its own; the
  // simulator stops the one it used when it ends.
  setenv(kSystemEventsIdleQuitVariable, "60", 1);
  unsetenv(kSystemEventsFailureVariable);
}

SimHome::~SimHome() {
  std::error_code ignored;
  if (!shortRuntime_.empty()) fs::remove_all(shortRuntime_, ignored);
  if (temporary_) fs::remove_all(path_, ignored);
}
