// A throw-away home folder for one test: HOME and XDG_CONFIG_HOME point into
// it while the test runs and are restored afterwards.
#pragma once

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

class TempHome {
 public:
  TempHome() {
    gchar* made = g_dir_make_tmp("hushmoor-test-XXXXXX", nullptr);
    path_ = made;
    g_free(made);
    setenv("HOME", path_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configFolder().c_str(), 1);
  }
  ~TempHome() {
    for (const auto& [name, value] : saved_) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& path() const { return path_; }
  std::string configFolder() const { return path_ + "/.config"; }

 private:
  static std::optional<std::string> get(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  }
  const std::pair<const char*, std::optional<std::string>> saved_[2] = {
      {"HOME", get("HOME")}, {"XDG_CONFIG_HOME", get("XDG_CONFIG_HOME")}};
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  gchar* data = nullptr;
  if (!g_file_get_contents(path.c_str(), &data, nullptr, nullptr)) return "";
  std::string text(data);
  g_free(data);
  return text;
}

inline void writeFile(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  g_file_set_contents(path.c_str(), text.data(), static_cast<gssize>(text.size()), nullptr);
}
