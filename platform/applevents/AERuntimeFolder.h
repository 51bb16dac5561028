// Where event-capable processes publish their sockets: one folder per user,
// $XDG_RUNTIME_DIR/hushmoor-events, or hushmoor-events-<uid> in $TMPDIR (or
// /tmp) without it. The folder is 0700 and must be owned by this user (in the
// temporary folder it is made 0700 or refused, and the log says why); each
// process has one socket "<pid>.<creator as 8 hex digits>.sock" in it, mode 0600.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/corefoundation/MacTypes.h"

namespace ae_runtime {

struct PublishedProcess {
  pid_t pid;
  OSType creator;
  std::string socketPath;
};

// The folder, created when missing; nothing (with errno set, and an NSLog
// line naming the folder and the reason) when it cannot be made or is not a
// private folder of this user.
std::optional<std::string> folder();
std::string socketName(pid_t pid, OSType creator);
// Every published process that is still running, by ascending pid. Sockets
// left behind by processes that have ended are removed.
std::vector<PublishedProcess> publishedProcesses();
std::optional<PublishedProcess> publishedProcess(pid_t pid);
// True while the process exists and is not a zombie.
bool processIsRunning(pid_t pid);

}  // namespace ae_runtime
