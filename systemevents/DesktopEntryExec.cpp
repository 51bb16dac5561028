// Exec and TryExec lines for login items.
#include "systemevents/DesktopEntryExec.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace systemevents {

std::string quoteExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

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
bool hasControlCharacter(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

// The argument as printf's %b operand in single quotes: control characters
// as octal escapes, backslashes doubled, single quotes closed and reopened.
std::string printfOperand(const std::string& text) {
  std::string operand = "'";
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) {
      char octal[6];
      std::snprintf(octal, sizeof octal, "\\0%03o", c);
      operand += octal;
    } else if (c == '\\') {
      operand += "\\\\";
    } else if (c == '\'') {
      operand += "'\\''";
    } else {
      operand += static_cast<char>(c);
    }
  }
  return operand + "'";
}
}  // namespace

std::string execLineForPath(const std::string& path) {
  std::string program;  // empty: run the target itself
  std::string target = bundleExecutable(path);
  if (target.empty()) {
    target = path;
    if (!isExecutableFile(path)) program = "xdg-open";
  }
  if (!hasControlCharacter(target)) {
    return program.empty() ? quoteExecArgument(target) : program + " " + quoteExecArgument(target);
  }
  // A desktop entry's strings cannot hold control characters (a newline in a
  // path, say), so the path is rebuilt by the shell from octal escapes; the
  // "_" keeps a trailing newline from being stripped by $(...).
  std::string script = "p=$(printf '%b_' " + printfOperand(target) + "); exec " +
                       (program.empty() ? "" : program + " ") + "\"${p%_}\"";
  return "sh -c " + quoteExecArgument(script);
}

std::string tryExecForPath(const std::string& path) {
  std::string program = bundleExecutable(path);
  if (program.empty() && isExecutableFile(path)) program = path;
  // TryExec is a plain string, which may hold no control character, and it
  // has no shell to rebuild one the way Exec does. Such an entry goes without
  // TryExec: it still starts the program, and after an uninstall its Exec
  // fails once per login, which is no worse than an entry without the key.
  return hasControlCharacter(program) ? std::string() : program;
}

}  // namespace systemevents
