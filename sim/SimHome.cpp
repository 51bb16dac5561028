// Setting up the simulated machine's home.
#include "sim/SimHome.h"

#include <glib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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
  makeFolder(path_ + "/.run");
  makeFolder(bundlePath() + "/Contents/MacOS");
  setenv("HOME", path_.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (path_ + "/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", (path_ + "/.local/share").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (path_ + "/.run").c_str(), 1);
}

SimHome::~SimHome() {
  if (!temporary_) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}
