// Reading and writing the record that the radio is off for a sleep.
#include "platform/corewlan/RadioSleepRecord.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/BoundedFile.h"
#include "platform/foundation/DurableFile.h"
#include "platform/foundation/UserFolders.h"

namespace {

constexpr const char* kGroup = "Radio off for sleep";
constexpr const char* kFileName = "radio-off-for-sleep";

}  // namespace

std::string RadioSleepRecord::path() { return UserFolders::state() + "/hushmoor/" + kFileName; }

std::string RadioSleepRecord::currentBootId() {
  gchar* text = nullptr;
  if (!g_file_get_contents("/proc/sys/kernel/random/boot_id", &text, nullptr, nullptr))
    return "unknown";
  std::string id = g_strstrip(text);
  g_free(text);
  return id.empty() ? "unknown" : id;
}

RadioSleepRecord::Reading RadioSleepRecord::read(const std::string& path) {
  Reading reading;
  GKeyFile* keys = g_key_file_new();
  GError* error = nullptr;
  if (!BoundedFile::loadKeyFile(keys, path, G_KEY_FILE_NONE, &error)) {
    reading.present = !g_error_matches(error, G_FILE_ERROR, G_FILE_ERROR_NOENT);
    // A file error other than "none there" is about the place, not the
    // contents: nothing can be written there either.
    reading.inaccessible = reading.present && error->domain == G_FILE_ERROR;
    reading.problem = (error->domain == G_FILE_ERROR ? path + ": " : "") + error->message;
    g_error_free(error);
    g_key_file_free(keys);
    return reading;
  }
  reading.present = true;
  // Every key must be there: a record cut short is not a record.
  RadioSleepRecord record;
  const auto text = [&](const char* key, std::string* value) {
    gchar* found = error == nullptr ? g_key_file_get_string(keys, kGroup, key, &error) : nullptr;
    if (found != nullptr) *value = found;
    g_free(found);
  };
  text("Interface", &record.interfaceName);
  text("Device", &record.device);
  text("BootId", &record.bootId);
  if (error == nullptr) record.time = g_key_file_get_int64(keys, kGroup, "Time", &error);
  if (error != nullptr) {
    reading.problem = error->message;
    g_error_free(error);
  } else if (record.interfaceName.empty()) {
    reading.problem = "no interface named";
  } else {
    reading.record = std::move(record);
  }
  g_key_file_free(keys);
  return reading;
}

std::optional<SystemError> RadioSleepRecord::write(const std::string& path) const {
  GKeyFile* keys = g_key_file_new();
  g_key_file_set_string(keys, kGroup, "Interface", interfaceName.c_str());
  g_key_file_set_string(keys, kGroup, "Device", device.c_str());
  g_key_file_set_string(keys, kGroup, "BootId", bootId.c_str());
  g_key_file_set_int64(keys, kGroup, "Time", time);
  gchar* data = g_key_file_to_data(keys, nullptr, nullptr);
  const std::string text = data;
  g_free(data);
  g_key_file_free(keys);

  const std::string folder = DurableFile::folderOf(path);
  if (g_mkdir_with_parents(folder.c_str(), 0700) != 0)
    return SystemError::fromErrno(errno, "cannot create " + folder);
  return DurableFile::replace(path, path + ".XXXXXX", text, 0600);
}

std::optional<SystemError> RadioSleepRecord::remove(const std::string& path) {
  return DurableFile::remove(path);
}

void RadioSleepRecord::removeTemporaries(const std::string& path) {
  const std::string folder = DurableFile::folderOf(path);
  const std::string prefix = path.substr(folder.size() + 1) + ".";
  GDir* dir = g_dir_open(folder.c_str(), 0, nullptr);
  if (dir == nullptr) return;
  while (const char* name = g_dir_read_name(dir)) {
    // mkstemp's six characters after the record's own name.
    const std::string leaf = name;
    if (leaf.size() == prefix.size() + 6 && leaf.compare(0, prefix.size(), prefix) == 0)
      ::unlink((folder + "/" + leaf).c_str());
  }
  g_dir_close(dir);
}
