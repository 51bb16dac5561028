// NSUserDefaults over a GLib key file. The application domain is read afresh
// at every look-up, so a value another process wrote is seen at the next read;
// this process's own changes stay pending on top of it until synchronize
// merges them into the file.
#include "platform/foundation/NSUserDefaults.h"

#include <errno.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "platform/foundation/BoundedFile.h"
#include "platform/foundation/DurableFile.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSProcessInfo.h"
#include "platform/foundation/UserFolders.h"

namespace {

constexpr const char* kGroup = "Defaults";

std::unique_ptr<NSUserDefaults>& standardInstance() {
  static std::unique_ptr<NSUserDefaults> instance;
  return instance;
}

// Moves a corrupt file aside to "<path>.corrupt" (or ".corrupt-2", ...), never
// over an earlier one. Returns where it went, or "" when it could not move.
std::string moveAside(const std::string& path) {
  for (int n = 1; n < 1000; ++n) {
    // Appended piece by piece: GCC 12 at -O3 takes `"-" + std::to_string(n)`
    // for an overlapping copy (-Wrestrict), which fails a Release build.
    std::string target = path + ".corrupt";
    if (n > 1) target.append("-").append(std::to_string(n));
    std::error_code ec;
    if (std::filesystem::exists(target, ec) || ec) continue;
    if (g_rename(path.c_str(), target.c_str()) == 0) return target;
    return "";
  }
  return "";
}

}  // namespace

std::optional<NSDefaultsValue> NSDefaultsValueFromString(const std::string& text) {
  if (text == "YES" || text == "true") return NSDefaultsValue{true};
  if (text == "NO" || text == "false") return NSDefaultsValue{false};
  long value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (text.empty() || ec != std::errc() || end != last) return std::nullopt;
  return NSDefaultsValue{value};
}

std::string NSDefaultsValueToString(const NSDefaultsValue& value) {
  if (const bool* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  return std::to_string(std::get<long>(value));
}

NSUserDefaults& NSUserDefaults::standardUserDefaults() {
  auto& instance = standardInstance();
  if (!instance) {
    instance =
        std::make_unique<NSUserDefaults>(NSBundle::mainBundle()->bundleIdentifier().UTF8String(),
                                         NSProcessInfo::processInfo().arguments());
  }
  return *instance;
}

void NSUserDefaults::resetStandardUserDefaults() { standardInstance().reset(); }

NSUserDefaults::NSUserDefaults(std::string bundleIdentifier, std::vector<std::string> arguments)
    : bundleIdentifier_(std::move(bundleIdentifier)) {
  // "-Key value" pairs after the program name; anything else is skipped, and
  // a value that is neither a number nor YES/NO is ignored.
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (arg.size() < 2 || arg[0] != '-' || i + 1 >= arguments.size()) continue;
    if (auto value = NSDefaultsValueFromString(arguments[i + 1]))
      argumentDomain_[arg.substr(1)] = *value;
    ++i;
  }
}

std::string NSUserDefaults::applicationDomainPath() const {
  return UserFolders::config() + "/" + bundleIdentifier_ + ".defaults";
}

void NSUserDefaults::registerDefaults(const NSDefaultsDictionary& defaults) {
  for (const auto& [key, value] : defaults) registrationDomain_[key] = value;
}

bool NSUserDefaults::loadApplicationDomain(GKeyFile* keys) {
  const std::string path = applicationDomainPath();
  g_autoptr(GError) error = nullptr;
  const auto flags = GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
  if (BoundedFile::loadKeyFile(keys, path, flags, &error)) return true;
  if (g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT)) return true;
  if (error->domain == G_KEY_FILE_ERROR) {
    // A corrupt file: the registered defaults apply, and the file is kept
    // aside for the user rather than overwritten by the next synchronize.
    const std::string aside = moveAside(path);
    NSLog("WARN (%s:%d): user defaults file %s is corrupt (%s); %s", __func__, __LINE__,
          path.c_str(), error->message,
          aside.empty() ? "it could not be moved aside and is left as it is; registered defaults apply"
                        : ("moved aside to " + aside + "; registered defaults apply").c_str());
    return !aside.empty();
  }
  // There, but not to be read (no permission, not a regular file): left as
  // it is, and nothing is written over it.
  if (!readProblemReported_)
    NSLog("WARN (%s:%d): cannot read user defaults file %s: %s; registered defaults apply, the "
          "file is left as it is and settings changed meanwhile are not saved",
          __func__, __LINE__, path, std::string(error->message));
  readProblemReported_ = true;
  return false;
}

NSDefaultsDictionary NSUserDefaults::readApplicationDomain() {
  NSDefaultsDictionary result;
  g_autoptr(GKeyFile) file = g_key_file_new();
  loadApplicationDomain(file);
  gsize count = 0;
  g_auto(GStrv) keys = g_key_file_get_keys(file, kGroup, &count, nullptr);
  for (gsize i = 0; keys != nullptr && i < count; ++i) {
    g_autofree gchar* raw = g_key_file_get_value(file, kGroup, keys[i], nullptr);
    // A value that is neither a number nor a boolean counts as not stored.
    if (raw == nullptr) continue;
    if (auto value = NSDefaultsValueFromString(raw)) result[keys[i]] = *value;
  }
  return result;
}

std::optional<NSDefaultsValue> NSUserDefaults::lookUp(const std::string& key) {
  if (auto it = argumentDomain_.find(key); it != argumentDomain_.end()) return it->second;
  if (auto it = pending_.find(key); it != pending_.end()) {
    if (it->second) return it->second;
  } else {
    const NSDefaultsDictionary stored = readApplicationDomain();
    if (auto found = stored.find(key); found != stored.end()) return found->second;
  }
  if (auto it = registrationDomain_.find(key); it != registrationDomain_.end()) return it->second;
  return std::nullopt;
}

long NSUserDefaults::integerForKey(const std::string& key) {
  const auto value = lookUp(key);
  if (!value) return 0;
  if (const bool* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
  return std::get<long>(*value);
}

bool NSUserDefaults::boolForKey(const std::string& key) {
  const auto value = lookUp(key);
  if (!value) return false;
  if (const bool* b = std::get_if<bool>(&*value)) return *b;
  return std::get<long>(*value) != 0;
}

void NSUserDefaults::setBool(bool value, const std::string& key) { pending_[key] = value; }
void NSUserDefaults::setInteger(long value, const std::string& key) { pending_[key] = value; }
void NSUserDefaults::removeObjectForKey(const std::string& key) { pending_[key] = std::nullopt; }

bool NSUserDefaults::synchronize() {
  if (pending_.empty()) return true;
  const std::string path = applicationDomainPath();
  g_autoptr(GKeyFile) file = g_key_file_new();
  std::optional<SystemError> problem;
  if (!loadApplicationDomain(file)) {
    problem = SystemError{EACCES, "the file there cannot be read, so it is not written over"};
  } else {
    for (const auto& [key, value] : pending_) {
      if (value)
        g_key_file_set_value(file, kGroup, key.c_str(), NSDefaultsValueToString(*value).c_str());
      else
        g_key_file_remove_key(file, kGroup, key.c_str(), nullptr);
    }
    gsize length = 0;
    g_autofree gchar* data = g_key_file_to_data(file, &length, nullptr);
    // A symlinked file (a dotfile manager's) is replaced at its target, in the
    // target's folder, so the link stays a link.
    g_autofree gchar* resolved = ::realpath(path.c_str(), nullptr);
    const std::string target = resolved != nullptr ? resolved : path;
    struct stat info;
    const mode_t mode = ::stat(target.c_str(), &info) == 0 ? info.st_mode & 07777 : 0600;
    if (g_mkdir_with_parents(DurableFile::folderOf(target).c_str(), 0700) != 0)
      problem = SystemError::fromErrno(errno, "cannot make " + DurableFile::folderOf(target));
    else
      problem = DurableFile::replace(target, target + ".XXXXXX", std::string_view(data, length),
                                     mode);
  }
  if (problem) {
    if (!writeProblemReported_)
      NSLog("WARN (%s:%d): cannot save user defaults to %s: %s", __func__, __LINE__, path,
            problem->description);
    writeProblemReported_ = true;
    return false;
  }
  pending_.clear();
  return true;
}
