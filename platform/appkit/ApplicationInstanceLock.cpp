// The per-user lock of a running application.
#include "platform/appkit/ApplicationInstanceLock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/foundation/UserFolders.h"

namespace {
std::string runtimeFolder() {
  // Without a runtime folder (no login session), GLib's fallback: the
  // user's cache folder, private to the user as well.
  return UserFolders::runtime().value_or(g_get_user_cache_dir());
}
}  // namespace

std::string ApplicationInstanceLock::path(const std::string& bundleIdentifier) {
  return runtimeFolder() + "/" + bundleIdentifier + ".lock";
}

ApplicationInstanceLock::ApplicationInstanceLock(const std::string& bundleIdentifier) {
  const std::string path = ApplicationInstanceLock::path(bundleIdentifier);
  // The fallback folder may not exist yet in a fresh home: made private, so
  // the check is not silently off there.
  if (!UserFolders::runtime()) g_mkdir_with_parents(g_get_user_cache_dir(), 0700);
  // Close-on-exec: a helper the application starts must not keep the lock.
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    problem_ = "cannot open " + path + ": " + std::strerror(errno);
    return;
  }
  int taken;
  do {
    taken = ::flock(fd_, LOCK_EX | LOCK_NB);
  } while (taken != 0 && errno == EINTR);
  if (taken == 0) {
    outcome_ = Outcome::Acquired;
  } else if (errno == EWOULDBLOCK) {
    outcome_ = Outcome::AlreadyRunning;
  } else {
    problem_ = "cannot lock " + path + ": " + std::strerror(errno);
  }
}

ApplicationInstanceLock::~ApplicationInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<int> ApplicationInstanceLock::holder(const std::string& bundleIdentifier,
                                                    std::string* problem) {
  struct stat file;
  if (::stat(path(bundleIdentifier).c_str(), &file) != 0) {
    // No lock file: no copy has run since the runtime folder was made.
    if (errno != ENOENT) *problem = path(bundleIdentifier) + ": " + std::strerror(errno);
    return std::nullopt;
  }
  std::ifstream locks("/proc/locks");
  if (!locks) {
    *problem = "cannot read /proc/locks";
    return std::nullopt;
  }
  // "1: FLOCK  ADVISORY  WRITE 4242 00:2d:1183 0 EOF": the holder and the
  // file as major:minor (hex):inode; waiters' lines carry a "->" first.
  char device[64];
  std::snprintf(device, sizeof device, "%02x:%02x:%lu", major(file.st_dev), minor(file.st_dev),
                static_cast<unsigned long>(file.st_ino));
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, advisory, mode, where;
    int pid = 0;
    if (fields >> number >> kind >> advisory >> mode >> pid >> where && kind == "FLOCK" &&
        where == device)
      return pid;
  }
  return std::nullopt;
}
