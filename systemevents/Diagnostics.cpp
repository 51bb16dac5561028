// Diagnostics through NSLog: standard error and, in the shipped service, the
// journal under the identifier "System Events" (main.cpp installs the sink).
#include "systemevents/Diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/foundation/NSLog.h"

namespace systemevents {

void reportProblem(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  NSLog("WARN: %s", std::string(line));
}

}  // namespace systemevents
