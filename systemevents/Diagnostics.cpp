// Diagnostics to standard error and the system log.
#include "systemevents/Diagnostics.h"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>

namespace systemevents {

void reportProblem(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  std::fprintf(stderr, "System Events: %s\n", line);
  syslog(LOG_USER | LOG_WARNING, "System Events: %s", line);
}

}  // namespace systemevents
