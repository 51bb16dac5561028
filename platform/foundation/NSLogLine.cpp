// NSLog's line format.
#include "platform/foundation/NSLogLine.h"

#include <errno.h>
#include <unistd.h>

#include <cstdio>

std::string formatNSLogLine(const struct timespec& when, std::string_view process, pid_t pid,
                            long threadId, std::string_view message) {
  struct tm local;
  localtime_r(&when.tv_sec, &local);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  char head[96];
  std::snprintf(head, sizeof head, "%s.%03ld ", stamp, when.tv_nsec / 1000000);
  std::string line(head);
  line.append(process);
  line += '[' + std::to_string(pid) + ':' + std::to_string(threadId) + "] ";
  line.append(message);
  if (line.empty() || line.back() != '\n') line += '\n';
  return line;
}

std::string formatNSLogLineNow(std::string_view message, std::string_view process) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return formatNSLogLine(now, process.empty() ? program_invocation_short_name : process, ::getpid(),
                         static_cast<long>(::gettid()), message);
}

void writeLogLine(int fd, std::string_view line) {
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    left -= static_cast<size_t>(n);
  }
}
