// The signal handlers write to an eventfd: the only async-signal-safe way to
// hand the request on, and one the main loop and a blocking wait can both
// listen to (GLib's own signal sources only run when the loop iterates, which
// a wait before a sleep does not let it do).
#include "platform/foundation/TerminationRequest.h"

#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> installedFd{-1};
struct sigaction previous[std::size(kSignals)];

void onSignal(int) {
  const int saved = errno;
  const uint64_t one = 1;
  const int fd = installedFd.load(std::memory_order_relaxed);
  if (fd >= 0) {
    // Only a full counter (EAGAIN) can refuse it, and that already holds a request.
    [[maybe_unused]] const ssize_t written = ::write(fd, &one, sizeof one);
  }
  errno = saved;
}

}  // namespace

TerminationRequest::TerminationRequest() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (fd_ < 0) std::abort();  // only when the process is out of descriptors at start
  installedFd.store(fd_);
  struct sigaction action = {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &previous[i]);
}

TerminationRequest::~TerminationRequest() {
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &previous[i], nullptr);
  installedFd.store(-1);
  ::close(fd_);
}

void TerminationRequest::acknowledge() const {
  uint64_t count;
  while (::read(fd_, &count, sizeof count) < 0 && errno == EINTR) {
  }
}

int TerminationRequest::currentFd() { return installedFd.load(); }
