// Loading the GTK panel module with dlopen; the executable itself never links GTK.
#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "platform/linux/GtkPanelModule.h"

std::string GtkPanelModule::defaultPath() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return "";
  std::string path(exe, static_cast<size_t>(n));
  const size_t macos = path.rfind("/MacOS/");
  if (macos == std::string::npos) return "";
  return path.substr(0, macos) + "/Frameworks/libhushmoor-gtk-panels.so";
}

GtkPanelModule* GtkPanelModule::load(const std::string& path, std::string* error) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<GtkPanelModule>> loaded;
  std::lock_guard lock(mutex);
  if (auto it = loaded.find(path); it != loaded.end()) return it->second.get();
  if (path.empty()) {
    if (error) *error = "no panel module: the executable is not inside an application bundle";
    return nullptr;
  }
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    if (error) *error = std::string("cannot load ") + path + ": " + (why ? why : "unknown error");
    return nullptr;
  }
  auto module = std::make_unique<GtkPanelModule>();
  module->displayAvailable_ =
      reinterpret_cast<int (*)(void)>(::dlsym(handle, "hushmoor_gtk_panels_display_available"));
  module->run_ = reinterpret_cast<int (*)(const char*, const char*, const char* const*, int)>(
      ::dlsym(handle, "hushmoor_gtk_panels_run"));
  if (module->displayAvailable_ == nullptr || module->run_ == nullptr) {
    if (error) *error = path + " is not Hushmoor's panel module (entry points missing)";
    ::dlclose(handle);
    return nullptr;
  }
  // The handle is never closed: GTK cannot be unloaded from a process.
  return (loaded[path] = std::move(module)).get();
}

bool GtkPanelModule::displayAvailable() const { return displayAvailable_() != 0; }

int GtkPanelModule::run(const std::string& title, const std::string& message,
                        const std::vector<std::string>& buttons) const {
  std::vector<const char*> texts;
  for (const auto& b : buttons) texts.push_back(b.c_str());
  return run_(title.c_str(), message.c_str(), texts.data(), static_cast<int>(texts.size()));
}
