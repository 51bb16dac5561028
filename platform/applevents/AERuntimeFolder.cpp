// The per-user folder of event sockets.
#include "platform/applevents/AERuntimeFolder.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>

#include "platform/foundation/NSLog.h"
#include "platform/foundation/UserFolders.h"

namespace ae_runtime {

namespace {
// Says why the folder cannot be used, once per folder and reason: without it
// no event is sent or received, and a send fails with procNotFound, which
// alone would not tell anyone what to mend.
bool refuse(const std::string& path, const std::string& reason, int error) {
  static std::mutex lock;
  static std::set<std::string> said;
  {
    std::lock_guard guard(lock);
    if (said.insert(path + '\n' + reason).second)
      NSLog("ERROR: the events folder %s cannot be used: %s", path, reason);
  }
  errno = error;
  return false;
}

// The folder must be this user's and reachable by nobody else, or anyone
// could send us events or stand in for a process. In a shared place (the
// fallback in the temporary folder) another user may have made it first, or
// put files into it while it was open: it must be exactly 0700 already. In
// the user's own runtime folder a loosened mode is tightened again.
bool ensurePrivateFolder(const std::string& path, bool shared) {
  if (mkdir(path.c_str(), 0700) == 0) {
    // The umask may have taken the owner's bits away (it never adds any).
    if (chmod(path.c_str(), 0700) == 0) return true;
    return refuse(path, std::string("cannot set its mode: ") + std::strerror(errno), errno);
  }
  if (errno != EEXIST)
    return refuse(path, std::string("cannot make it: ") + std::strerror(errno), errno);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0)
    return refuse(path, std::string("cannot read it: ") + std::strerror(errno), errno);
  if (!S_ISDIR(st.st_mode)) return refuse(path, "it is not a folder", ENOTDIR);
  if (st.st_uid != geteuid())
    return refuse(path,
                  "it belongs to uid " + std::to_string(st.st_uid) + ", not to this user (uid " +
                      std::to_string(geteuid()) + ")",
                  EPERM);
  if ((st.st_mode & 07777) == 0700) return true;
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  if (shared) return refuse(path, std::string("its mode is ") + mode + ", not 0700", EPERM);
  if (chmod(path.c_str(), 0700) == 0) return true;
  return refuse(path, std::string("cannot set its mode: ") + std::strerror(errno), errno);
}
}  // namespace

std::optional<std::string> folder() {
  if (const std::optional<std::string> runtime = UserFolders::runtime()) {
    std::string path = *runtime + "/hushmoor-events";
    if (!ensurePrivateFolder(path, false)) return std::nullopt;
    return path;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string path = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                     "/hushmoor-events-" + std::to_string(geteuid());
  if (!ensurePrivateFolder(path, true)) return std::nullopt;
  return path;
}

std::string socketName(pid_t pid, OSType creator) {
  char name[64];
  std::snprintf(name, sizeof name, "%d.%08x.sock", static_cast<int>(pid),
                static_cast<unsigned>(creator));
  return name;
}

bool processIsRunning(pid_t pid) {
  if (pid <= 0) return false;
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  // A process that has ended but is not reaped yet is still "there" for kill().
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return false;
  auto close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

namespace {
std::optional<PublishedProcess> parseName(const std::string& dir, const char* name) {
  int pid = 0;
  unsigned creator = 0;
  int consumed = 0;
  if (std::sscanf(name, "%d.%8x.sock%n", &pid, &creator, &consumed) != 2) return std::nullopt;
  if (name[consumed] != '\0' || pid <= 0) return std::nullopt;
  if (socketName(pid, creator) != name) return std::nullopt;
  return PublishedProcess{pid, creator, dir + "/" + name};
}
}  // namespace

namespace {
// A socket is published only once it listens, so one that refuses a
// connection belongs to a process that ended (its pid perhaps reused since).
bool refusesConnections(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  bool refused = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
                 errno == ECONNREFUSED;
  close(fd);
  return refused;
}
}  // namespace

namespace {
// The published processes, all of them or only the one with pid `only`.
std::vector<PublishedProcess> scan(pid_t only) {
  std::vector<PublishedProcess> found;
  auto dir = folder();
  if (!dir) return found;
  DIR* stream = opendir(dir->c_str());
  if (stream == nullptr) return found;
  while (dirent* entry = readdir(stream)) {
    auto process = parseName(*dir, entry->d_name);
    if (!process || (only != 0 && process->pid != only)) continue;
    if (!processIsRunning(process->pid) || refusesConnections(process->socketPath)) {
      unlink(process->socketPath.c_str());
      continue;
    }
    found.push_back(*process);
  }
  closedir(stream);
  std::sort(found.begin(), found.end(),
            [](const PublishedProcess& a, const PublishedProcess& b) { return a.pid < b.pid; });
  return found;
}

}  // namespace

std::vector<PublishedProcess> publishedProcesses() { return scan(0); }

std::optional<PublishedProcess> publishedProcess(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  auto found = scan(pid);
  if (found.empty()) return std::nullopt;
  return found.front();
}

}  // namespace ae_runtime
