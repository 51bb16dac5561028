// Setting up a private home, and putting everything back.
#include "sim/SimHome.h"

#include <glib.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
    // A space in it, as users' folders have.
    gchar* made = g_dir_make_tmp("hushmoor sim XXXXXX", &error);
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
  runtime_ = runtime;
  makeFolder(bundlePath() + "/Contents/MacOS");
  set("HOME", path_);
  set("XDG_CONFIG_HOME", configFolder());
  set("XDG_DATA_HOME", path_ + "/.local/share");
  // The record of a radio switched off for a sleep stays in the run's home.
  set("XDG_STATE_HOME", path_ + "/.local/state");
  set("XDG_RUNTIME_DIR", runtime);
  // A System Events left behind by a run that crashed quits on its own; the
  // home stops the one it used when it goes.
  set(kSystemEventsIdleQuitVariable, "60");
  set(kSystemEventsFailureVariable, std::nullopt);
}

void SimHome::set(const char* name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name);
  saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
  value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

bool SimHome::stopSystemEvents() {
  ProcessSerialNumber psn;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (SystemEventsFindRunning(&psn) != noErr) return true;
    const auto pid = static_cast<pid_t>(psn.lowLongOfPSN);
    if (pid == getpid()) return false;  // a test that serves 'sevs' itself
    if (!SystemEventsQuitAndWait(psn, 5000)) kill(pid, SIGKILL);
  }
  return SystemEventsFindRunning(&psn) != noErr;
}

SimHome::~SimHome() {
  stopSystemEvents();
  // In reverse, so a variable set twice gets its first value back.
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second)
      setenv(it->first.c_str(), it->second->c_str(), 1);
    else
      unsetenv(it->first.c_str());
  }
  std::error_code ignored;
  if (!shortRuntime_.empty()) fs::remove_all(shortRuntime_, ignored);
  if (temporary_) fs::remove_all(path_, ignored);
}
