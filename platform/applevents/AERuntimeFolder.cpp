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

#include "platform/foundation/UserFolders.h"

namespace ae_runtime {

namespace {
bool isPrivateFolderOfMine(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    errno = EPERM;
    return false;
  }
  // Anyone else able to reach the sockets could send us events.
  if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

bool ensurePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return isPrivateFolderOfMine(path);
}
}  // namespace

std::optional<std::string> folder() {
  std::string path;
  if (const std::optional<std::string> runtime = UserFolders::runtime()) {
    path = *runtime + "/hushmoor-events";
  } else {
    path = "/tmp/hushmoor-events-" + std::to_string(geteuid());
  }
  if (!ensurePrivateFolder(path)) return std::nullopt;
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
