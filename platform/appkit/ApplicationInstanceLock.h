// One running copy of an application per user: launching it while it runs
// leaves the running copy in charge, as launching a running application does
// on a desktop. Two copies would fight over the radio: the second reads it as
// off once the first has switched it off for a sleep, and so never switches
// it back on.
//
// The lock is an flock(2) on "<runtime folder>/<bundle identifier>.lock":
// it needs no session bus (a minimal or ssh session may have none) and the
// kernel releases it when the process ends, however it ends, so a killed copy
// never blocks the next launch. The folder is $XDG_RUNTIME_DIR, which is per
// user and lives as long as any of the user's sessions.
#pragma once

#include <optional>
#include <string>

class ApplicationInstanceLock {
 public:
  enum class Outcome {
    Acquired,        // this is the one running copy
    AlreadyRunning,  // another copy holds the lock
    Unavailable,     // no lock could be made: run without one (problem() says why)
  };

  // Takes the lock for `bundleIdentifier` without waiting. Blocks only on the
  // file system; main thread, before anything else of the application runs.
  explicit ApplicationInstanceLock(const std::string& bundleIdentifier);
  // Releases the lock (the kernel would at exit anyway).
  ~ApplicationInstanceLock();
  ApplicationInstanceLock(const ApplicationInstanceLock&) = delete;
  ApplicationInstanceLock& operator=(const ApplicationInstanceLock&) = delete;

  Outcome outcome() const { return outcome_; }
  const std::string& problem() const { return problem_; }

  // The lock file of `bundleIdentifier`.
  static std::string path(const std::string& bundleIdentifier);
  // The process that holds the lock now, as the kernel lists it in
  // /proc/locks; the lock is not taken and the file not created. None when no
  // copy runs, or when that cannot be told (*problem then says why). Blocks
  // only on reading /proc.
  static std::optional<int> holder(const std::string& bundleIdentifier, std::string* problem);

 private:
  int fd_ = -1;
  Outcome outcome_ = Outcome::Unavailable;
  std::string problem_;
};
