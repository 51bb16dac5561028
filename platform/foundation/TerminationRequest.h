// Termination asked for by a signal (SIGTERM, SIGINT, SIGHUP). The handler
// only makes a file descriptor readable; the application turns that into an
// orderly termination on the main thread, between two events, and a blocking
// wait in progress (Sleeper) ends early so that nothing holds the termination
// up. SIGHUP is included because the terminal that started `hushmoor &` sends
// it when it closes, and that must not skip the orderly quit.
#pragma once

class TerminationRequest {
 public:
  // Installs the handlers for the object's lifetime; the ones in place before
  // come back with the destructor. At most one at a time, made and destroyed
  // on the main thread; does not block.
  TerminationRequest();
  ~TerminationRequest();
  TerminationRequest(const TerminationRequest&) = delete;
  TerminationRequest& operator=(const TerminationRequest&) = delete;

  // Readable while a request is pending; close-on-exec, so no child keeps it.
  int fd() const { return fd_; }
  // Marks the pending requests as seen. Never blocks.
  void acknowledge() const;

  // The installed object's fd, or -1 when none is installed: what a blocking
  // wait also listens to. Any thread.
  static int currentFd();

 private:
  int fd_;
};
