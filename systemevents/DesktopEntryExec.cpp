// Exec and TryExec lines for login items.
#include "systemevents/DesktopEntryExec.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace systemevents {

namespace {
bool isExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// "/x/Name.app" -> "/x/Name.app/Contents/MacOS/Name", when that is executable.
std::string bundleExecutable(const std::string& path) {
  struct stat st;
  if (path.size() <= 4 || path.compare(path.size() - 4, 4, ".app") != 0) return {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  auto slash = path.find_last_of('/');
  std::string name = path.substr(slash + 1, path.size() - slash - 1 - 4);
  std::string executable = path + "/Contents/MacOS/" + name;
  return isExecutableFile(executable) ? executable : std::string();
}
}  // namespace

namespace {

// Whether the path can stand in an Exec or TryExec line as it is: launchers
// part ways on anything else. gio refuses an entry whose program is quoted
// with "%%" in it, systemd-xdg-autostart-generator unescapes backslashes
// twice, neither is sure about what systemd makes of '$' and '"' in the unit
// it writes, and a desktop entry's strings hold no control character and no
// byte that is not UTF-8. Spaces and non-ASCII letters are fine.
bool plain(const std::string& path) {
  for (unsigned char c : path)
    if (c < 0x80 && !g_ascii_isalnum(c) && std::strchr("/._-+,:@= ", c) == nullptr) return false;
  return g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr);
}

}  // namespace

std::string execLineForPath(const std::string& path) {
  std::string program;  // empty: run the target itself
  std::string target = bundleExecutable(path);
  if (target.empty()) {
    target = path;
    if (!isExecutableFile(path)) program = "xdg-open";
  }
  // Quoted for its spaces; a plain path holds nothing else to escape.
  if (plain(target)) return (program.empty() ? "" : program + " ") + "\"" + target + "\"";
  // Any other path travels base64-encoded through sh, in a line with nothing
  // any launcher reads specially (no backslash, '%', '$' or quote inside);
  // xargs hands the decoded path over as one argument to nice (which runs the
  // program as it is) or to xdg-open. All of them are in every Debian system.
  g_autofree gchar* encoded =
      g_base64_encode(reinterpret_cast<const guchar*>(target.data()), target.size());
  return std::string("sh -c \"echo ") + encoded + " | base64 -d | xargs -0 " +
         (program.empty() ? "nice -n 0" : program) + "\"";
}

std::string tryExecForPath(const std::string& path) {
  std::string program = bundleExecutable(path);
  if (program.empty() && isExecutableFile(path)) program = path;
  // TryExec is a plain string with no shell to decode it, so a path that
  // cannot stand as it is goes without: its Exec still starts the program,
  // and after an uninstall it fails once per login, which is no worse than an
  // entry without the key.
  return plain(program) ? program : std::string();
}

}  // namespace systemevents
