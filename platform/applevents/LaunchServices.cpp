// Application look-up by creator signature and detached launch.
#include "platform/applevents/LaunchServices.h"

#include <dirent.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>

#include "platform/applevents/AEDataModel.h"
#include "platform/applevents/AERuntimeFolder.h"

namespace {

std::mutex foldersLock;
std::vector<std::string> testFolders;

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string parentOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string lastComponent(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The creator in Contents/PkgInfo, when the bundle has one.
std::optional<OSType> bundleCreator(const std::string& bundle) {
  std::ifstream in(bundle + "/Contents/PkgInfo", std::ios::binary);
  char info[8];
  if (!in.read(info, sizeof info)) return std::nullopt;
  return (OSType(static_cast<unsigned char>(info[4])) << 24) |
         (OSType(static_cast<unsigned char>(info[5])) << 16) |
         (OSType(static_cast<unsigned char>(info[6])) << 8) |
         OSType(static_cast<unsigned char>(info[7]));
}

std::string bundleExecutable(const std::string& bundle) {
  std::string name = lastComponent(bundle);
  name.resize(name.size() - 4);  // ".app"
  return bundle + "/Contents/MacOS/" + name;
}

void setNewSession(gpointer) { setsid(); }

}  // namespace

std::vector<std::string> LSApplicationSearchFolders() {
  {
    std::lock_guard guard(foldersLock);
    if (!testFolders.empty()) return testFolders;
  }
  std::vector<std::string> folders;
  // ".../Name.app/Contents/MacOS/Name": the folder that holds Name.app.
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    std::string macos = parentOf(std::string(exe, static_cast<std::size_t>(n)));
    std::string contents = parentOf(macos);
    std::string bundle = parentOf(contents);
    if (lastComponent(macos) == "MacOS" && lastComponent(contents) == "Contents" &&
        endsWith(bundle, ".app"))
      folders.push_back(parentOf(bundle));
  }
  folders.push_back(HUSHMOOR_INSTALLED_APPLICATIONS_DIR);
  return folders;
}

void LSSetApplicationSearchFoldersForTesting(std::vector<std::string> folders) {
  std::lock_guard guard(foldersLock);
  testFolders = std::move(folders);
}

OSStatus LSFindApplicationForInfo(OSType inCreator, CFStringRef inBundleID, CFStringRef inName,
                                  FSRef* outAppRef, CFURLRef* outAppURL) {
  if (outAppURL != nullptr) *outAppURL = nullptr;
  if (inBundleID != nullptr || inName != nullptr) return paramErr;
  for (const std::string& folder : LSApplicationSearchFolders()) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) continue;
    std::vector<std::string> bundles;
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name.size() > 4 && endsWith(name, ".app")) bundles.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(bundles.begin(), bundles.end());
    for (const std::string& bundle : bundles) {
      if (bundleCreator(bundle) != inCreator) continue;
      if (access(bundleExecutable(bundle).c_str(), X_OK) != 0) continue;
      FSRef ref;
      if (FSPathMakeRef(reinterpret_cast<const UInt8*>(bundle.c_str()), &ref, nullptr) != noErr)
        continue;
      if (outAppURL != nullptr) {
        *outAppURL = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
        if (*outAppURL == nullptr) return coreFoundationUnknownErr;
      }
      if (outAppRef != nullptr) *outAppRef = std::move(ref);
      return noErr;
    }
  }
  return kLSApplicationNotFoundErr;
}

OSStatus LSOpenApplication(const LSApplicationParameters* appParams, ProcessSerialNumber* outPSN) {
  if (appParams == nullptr || appParams->version != 0 || appParams->application == nullptr)
    return paramErr;
  // An environment, arguments or a first event are not offered; refusing them
  // is better than starting the application without what the caller asked for.
  if (appParams->environment != nullptr || appParams->argv != nullptr ||
      appParams->initialEvent != nullptr)
    return paramErr;
  const std::string& bundle = appParams->application->path;
  std::string executable = bundleExecutable(bundle);
  if (!endsWith(bundle, ".app") || access(executable.c_str(), X_OK) != 0) return kLSNoExecutableErr;
  if (auto creator = bundleCreator(bundle)) {
    for (const auto& process : ae_runtime::publishedProcesses()) {
      if (process.creator == *creator) {
        if (outPSN != nullptr) *outPSN = {kPSNHighHalfOfProcesses, UInt32(process.pid)};
        return noErr;
      }
    }
  }
  // The application holds none of the caller's descriptors open: a caller
  // that collects its own output must not wait for a long-running service.
  // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
  // intermediate child, so it is not our child and never becomes our zombie;
  // the pid reported is the program's own.
  gchar* argv[] = {const_cast<gchar*>(executable.c_str()), nullptr};
  GPid pid = 0;
  GError* error = nullptr;
  gboolean started =
      g_spawn_async("/", argv, nullptr,
                    GSpawnFlags(G_SPAWN_STDIN_FROM_DEV_NULL | G_SPAWN_STDOUT_TO_DEV_NULL |
                                G_SPAWN_STDERR_TO_DEV_NULL),
                    &setNewSession, nullptr, &pid, &error);
  if (!started) {
    g_error_free(error);
    return kLSUnknownErr;
  }
  if (outPSN != nullptr) *outPSN = {kPSNHighHalfOfProcesses, static_cast<UInt32>(pid)};
  return noErr;
}
