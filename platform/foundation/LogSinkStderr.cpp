// The real machine's log: standard error, one line per message in NSLog's
// form "2026-12-06 10:45:55.123 Hushmoor[4242:4242] message".
#include <errno.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/foundation/LogSink.h"

namespace {

class StandardErrorLogSink : public LogSink {
 public:
  void writeLogMessage(std::string_view message) override {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char stamp[64];
    const size_t used = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string line(stamp, used);
    char rest[96];
    snprintf(rest, sizeof rest, ".%03ld %s[%ld:%ld] ", static_cast<long>(now.tv_usec / 1000),
             program_invocation_short_name, static_cast<long>(getpid()),
             static_cast<long>(gettid()));
    line += rest;
    line += message;
    // A message that ends its own line (a format ending in "\n") gets no second.
    if (message.empty() || message.back() != '\n') line += '\n';
    // One write per line, so that lines of several processes do not interleave.
    size_t done = 0;
    while (done < line.size()) {
      const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }
};

}  // namespace

std::shared_ptr<LogSink> makeStandardErrorLogSink() {
  return std::make_shared<StandardErrorLogSink>();
}
