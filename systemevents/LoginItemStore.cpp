// Login items as autostart desktop entries, read and written with GKeyFile.
#include "systemevents/LoginItemStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "platform/foundation/BoundedFile.h"
#include "platform/foundation/DurableFile.h"
#include "systemevents/DesktopEntryExec.h"
#include "systemevents/Diagnostics.h"

namespace systemevents {

namespace {
constexpr const char* kGroup = G_KEY_FILE_DESKTOP_GROUP;
constexpr const char* kMarkerKey = "X-Hushmoor-Login-Item";
constexpr const char* kPathKey = "X-Hushmoor-Path";
constexpr const char* kHiddenKey = "X-Hushmoor-Hidden";
constexpr const char* kOrderKey = "X-Hushmoor-Order";
constexpr const char* kSuffix = ".desktop";
constexpr std::int64_t kUnordered = std::numeric_limits<std::int64_t>::max();
// Entries are written under this name first and renamed into place. A leading
// dot and a name no one would give a file: the clean-up deletes these only.
constexpr const char* kTemporaryPrefix = ".hushmoor-login-item-partial-";

bool hasPrefix(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
bool hasSuffix(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Our entries ("hushmoor-login-item-*.desktop"), or our temporary files.
std::vector<std::string> ourFileNames(const std::string& folder, bool temporaries) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    bool ours = temporaries
                    ? hasPrefix(name, kTemporaryPrefix)
                    : hasPrefix(name, LoginItemStore::kFilePrefix) && hasSuffix(name, kSuffix);
    if (ours) names.push_back(name);
  }
  closedir(dir);
  return names;
}

std::string displayName(const std::string& path) {
  auto slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() ? path : name;
}
}  // namespace

LoginItemStore::LoginItemStore(std::string autostartFolder, bool durable)
    : folder_(std::move(autostartFolder)), durable_(durable) {}

std::vector<LoginItem> LoginItemStore::list() const {
  std::vector<LoginItem> items;
  for (const std::string& name : ourFileNames(folder_, false)) {
    std::string file = folder_ + "/" + name;
    g_autoptr(GKeyFile) keys = g_key_file_new();
    g_autoptr(GError) error = nullptr;
    if (!BoundedFile::loadKeyFile(keys, file, G_KEY_FILE_NONE, &error)) {
      reportOnce(file,
                 std::string("skipping unreadable login item ") + file + ": " + error->message);
      continue;
    }
    if (!g_key_file_get_boolean(keys, kGroup, kMarkerKey, nullptr)) continue;
    g_autofree gchar* path = g_key_file_get_string(keys, kGroup, kPathKey, nullptr);
    if (path == nullptr || *path == '\0') {
      // Listing it without a path would make every listing fail; the file
      // stays as it is for its owner to mend.
      reportOnce(file, "skipping login item " + file + ": it has no readable " + kPathKey);
      continue;
    }
    LoginItem item;
    item.file = file;
    item.path = path;
    gboolean hidden = g_key_file_get_boolean(keys, kGroup, kHiddenKey, &error);
    if (error == nullptr) item.hidden = hidden != FALSE;
    g_clear_error(&error);
    item.order = g_key_file_get_int64(keys, kGroup, kOrderKey, &error);
    if (error != nullptr) item.order = kUnordered;  // after all the others
    items.push_back(std::move(item));
  }
  std::sort(items.begin(), items.end(), [](const LoginItem& a, const LoginItem& b) {
    return a.order != b.order ? a.order < b.order : a.file < b.file;
  });
  return items;
}

void LoginItemStore::reportOnce(const std::string& file, const std::string& message) const {
  if (reported_.insert(file).second) reportProblem("%s", message.c_str());
}

bool LoginItemStore::append(const std::string& path, bool hidden, std::string* error) {
  if (!g_utf8_validate(path.c_str(), static_cast<gssize>(path.size()), nullptr)) {
    *error = "the path is not UTF-8";
    return false;
  }
  const std::vector<LoginItem> items = list();
  std::int64_t order = 0;
  std::int64_t unordered = 0;
  for (const LoginItem& item : items) {
    if (item.order == kUnordered)
      ++unordered;
    else
      order = std::max(order, item.order);
  }
  // Orders next to the largest value (a hand-edited entry) leave no room for
  // the ones given below: counting on would reach the "unordered" value and
  // then overflow, so every item is numbered afresh, in its place.
  const bool renumber = order > kUnordered - 2 - unordered;
  if (renumber) order = 0;
  for (const LoginItem& item : items) {
    // An entry without an order sorts last: it gets one now, in its place,
    // so that the new item comes after it.
    if ((renumber || item.order == kUnordered) && !giveOrder(item.file, ++order, error))
      return false;
  }
  return writeItem(path, hidden, order + 1, error);
}

bool LoginItemStore::giveOrder(const std::string& file, std::int64_t order, std::string* error) {
  g_autoptr(GKeyFile) keys = g_key_file_new();
  struct stat st;
  if (stat(file.c_str(), &st) != 0 ||
      !BoundedFile::loadKeyFile(
          keys, file, GKeyFileFlags(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS),
          nullptr)) {
    *error = "cannot read " + file;
    return false;
  }
  g_key_file_set_int64(keys, kGroup, kOrderKey, order);
  gsize length = 0;
  g_autofree gchar* data = g_key_file_to_data(keys, &length, nullptr);
  return replaceFile(file, data, length, st.st_mode & 07777, error);
}

bool LoginItemStore::writeItem(const std::string& path, bool hidden, std::int64_t order,
                               std::string* error) {
  if (!g_utf8_validate(path.c_str(), static_cast<gssize>(path.size()), nullptr)) {
    *error = "the path is not UTF-8";
    return false;
  }
  if (g_mkdir_with_parents(folder_.c_str(), 0700) != 0) {
    *error = "cannot create " + folder_;
    return false;
  }

  g_autoptr(GKeyFile) keys = g_key_file_new();
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_TYPE,
                        G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_NAME, displayName(path).c_str());
  g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, execLineForPath(path).c_str());
  // Stored with the key file's string escaping (a backslash doubled), which
  // is the Desktop Entry string form; TryExec takes no Exec-style quoting.
  if (const std::string program = tryExecForPath(path); !program.empty())
    g_key_file_set_string(keys, kGroup, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, program.c_str());
  g_key_file_set_boolean(keys, kGroup, kMarkerKey, TRUE);
  g_key_file_set_string(keys, kGroup, kPathKey, path.c_str());
  g_key_file_set_boolean(keys, kGroup, kHiddenKey, hidden ? TRUE : FALSE);
  g_key_file_set_int64(keys, kGroup, kOrderKey, order);
  gsize length = 0;
  g_autofree gchar* data = g_key_file_to_data(keys, &length, nullptr);

  std::string file;
  do {
    char name[64];
    std::snprintf(name, sizeof name, "%s%08x%08x%s", kFilePrefix, g_random_int(), g_random_int(),
                  kSuffix);
    file = folder_ + "/" + name;
  } while (g_file_test(file.c_str(), G_FILE_TEST_EXISTS));
  return replaceFile(file, data, length, 0644, error);
}

bool LoginItemStore::replaceFile(const std::string& file, const gchar* data, gsize length,
                                 mode_t mode, std::string* error) {
  // Written under a temporary name of our own, which only removeLeftovers
  // cleans away.
  std::string warning;
  const auto problem = DurableFile::replace(file, folder_ + "/" + kTemporaryPrefix + "XXXXXX",
                                            {data, length}, mode, durable_, &warning);
  if (problem) *error = problem->description;
  if (!warning.empty()) reportProblem("%s", warning.c_str());
  return !problem;
}

bool LoginItemStore::removeAt(std::size_t index, std::string* error) {
  std::vector<LoginItem> items = list();
  if (index >= items.size()) {
    *error = "no such login item";
    return false;
  }
  std::string warning;
  if (auto problem = DurableFile::remove(items[index].file, durable_, &warning)) {
    *error = problem->description;
    return false;
  }
  if (!warning.empty()) reportProblem("%s", warning.c_str());
  return true;
}

void LoginItemStore::removeLeftovers() const {
  for (const std::string& name : ourFileNames(folder_, true)) {
    g_unlink((folder_ + "/" + name).c_str());
  }
}

}  // namespace systemevents
