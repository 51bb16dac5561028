// Login items as autostart desktop entries, read and written with GKeyFile.
#include "systemevents/LoginItemStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <limits>

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

bool hasPrefix(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
bool hasSuffix(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::vector<std::string> ourFileNames(const std::string& folder, bool leftovers) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (!hasPrefix(name, LoginItemStore::kFilePrefix)) continue;
    if (hasSuffix(name, kSuffix) != leftovers) names.push_back(name);
  }
  closedir(dir);
  return names;
}

void syncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
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
    GKeyFile* keys = g_key_file_new();
    GError* error = nullptr;
    if (!g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, &error)) {
      reportProblem("skipping unreadable login item %s: %s", file.c_str(), error->message);
      g_error_free(error);
      g_key_file_free(keys);
      continue;
    }
    if (g_key_file_get_boolean(keys, kGroup, kMarkerKey, nullptr)) {
      LoginItem item;
      item.file = file;
      if (gchar* path = g_key_file_get_string(keys, kGroup, kPathKey, nullptr)) {
        item.path = path;
        g_free(path);
      }
      gboolean hidden = g_key_file_get_boolean(keys, kGroup, kHiddenKey, &error);
      if (error == nullptr) {
        item.hidden = hidden != FALSE;
      } else {
        g_clear_error(&error);
      }
      item.order = g_key_file_get_int64(keys, kGroup, kOrderKey, &error);
      if (error != nullptr) {
        // An entry without its order goes after all the others.
        item.order = std::numeric_limits<std::int64_t>::max();
        g_clear_error(&error);
      }
      items.push_back(std::move(item));
    }
    g_key_file_free(keys);
  }
  std::sort(items.begin(), items.end(), [](const LoginItem& a, const LoginItem& b) {
    return a.order != b.order ? a.order < b.order : a.file < b.file;
  });
  return items;
}

bool LoginItemStore::append(const std::string& path, bool hidden, std::string* error) {
  if (!g_utf8_validate(path.c_str(), static_cast<gssize>(path.size()), nullptr)) {
    *error = "the path is not UTF-8";
    return false;
  }
  std::int64_t order = 0;
  for (const LoginItem& item : list()) {
    if (item.order != std::numeric_limits<std::int64_t>::max()) order = std::max(order, item.order);
  }
  return writeItem(path, hidden, order + 1, error);
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

  GKeyFile* keys = g_key_file_new();
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
  gchar* data = g_key_file_to_data(keys, &length, nullptr);
  g_key_file_free(keys);

  std::string file;
  do {
    char name[64];
    std::snprintf(name, sizeof name, "%s%08x%08x%s", kFilePrefix, g_random_int(), g_random_int(),
                  kSuffix);
    file = folder_ + "/" + name;
  } while (g_file_test(file.c_str(), G_FILE_TEST_EXISTS));

  GError* writeError = nullptr;
  auto flags =
      durable_ ? GFileSetContentsFlags(G_FILE_SET_CONTENTS_CONSISTENT | G_FILE_SET_CONTENTS_DURABLE)
               : G_FILE_SET_CONTENTS_CONSISTENT;
  gboolean written = g_file_set_contents_full(file.c_str(), data, static_cast<gssize>(length),
                                              flags, 0644, &writeError);
  g_free(data);
  if (!written) {
    *error = writeError->message;
    g_error_free(writeError);
    return false;
  }
  if (durable_) syncFolder(folder_);
  return true;
}

bool LoginItemStore::removeAt(std::size_t index, std::string* error) {
  std::vector<LoginItem> items = list();
  if (index >= items.size()) {
    *error = "no such login item";
    return false;
  }
  if (g_unlink(items[index].file.c_str()) != 0) {
    *error = "cannot remove " + items[index].file;
    return false;
  }
  if (durable_) syncFolder(folder_);
  return true;
}

void LoginItemStore::removeLeftovers() const {
  for (const std::string& name : ourFileNames(folder_, true)) {
    g_unlink((folder_ + "/" + name).c_str());
  }
}

}  // namespace systemevents
