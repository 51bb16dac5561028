// The per-user lock of a running application.
#include "platform/appkit/ApplicationInstanceLock.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/UserFolders.h"

namespace {
std::string runtimeFolder() {
  // Without a runtime folder (no login session), GLib's fallback: the
  // user's cache folder, private to the user as well.
  return UserFolders::runtime().value_or(g_get_user_cache_dir());
}
}  // namespace

ApplicationInstanceLock::ApplicationInstanceLock(const std::string& bundleIdentifier) {
  const std::string path = runtimeFolder() + "/" + bundleIdentifier + ".lock";
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
