// Standard folders on Linux, after the XDG Base Directory conventions.
#include "platform/foundation/NSPathUtilities.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace foundation_detail {

std::vector<NSString> searchPaths(NSSearchPathDirectory directory, NSSearchPathDomainMask domains,
                                  bool expandTilde, const EnvironmentLookup& environment,
                                  const std::function<std::optional<std::string>()>& accountHome) {
  if ((domains & NSUserDomainMask) == 0) return {};
  if (directory != NSLibraryDirectory && directory != NSApplicationSupportDirectory) return {};
  // Relative values of XDG variables are to be ignored, as the conventions say.
  if (const auto dataHome = environment("XDG_DATA_HOME"); dataHome && dataHome->starts_with('/'))
    return {NSString::stringWithUTF8String(*dataHome)};
  if (!expandTilde) return {NSString("~/.local/share")};
  std::optional<std::string> home = environment("HOME");
  if (!home || home->empty()) home = accountHome();
  if (!home || home->empty()) return {};
  return {NSString::stringWithUTF8String(*home).stringByAppendingPathComponent(".local/share")};
}

}  // namespace foundation_detail

namespace {

std::optional<std::string> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::string> accountHomeFolder() {
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::string buffer(16384, '\0');
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
      found->pw_dir == nullptr)
    return std::nullopt;
  return std::string(found->pw_dir);
}

}  // namespace

std::vector<NSString> NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory directory,
                                                          NSSearchPathDomainMask domains,
                                                          bool expandTilde) {
  return foundation_detail::searchPaths(directory, domains, expandTilde, environmentVariable,
                                        accountHomeFolder);
}
