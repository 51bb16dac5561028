// The user's base folders.
#include "platform/foundation/UserFolders.h"

#include <glib.h>

#include <cstdlib>

namespace {
std::optional<std::string> absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}
}  // namespace

namespace UserFolders {

std::string home() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] != '\0' ? home : g_get_home_dir();
}

std::string config() { return absoluteVariable("XDG_CONFIG_HOME").value_or(home() + "/.config"); }
std::string data() { return absoluteVariable("XDG_DATA_HOME").value_or(home() + "/.local/share"); }
std::string state() {
  return absoluteVariable("XDG_STATE_HOME").value_or(home() + "/.local/state");
}
std::optional<std::string> runtime() { return absoluteVariable("XDG_RUNTIME_DIR"); }

}  // namespace UserFolders
