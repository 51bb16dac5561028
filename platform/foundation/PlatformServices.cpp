// The one PlatformServices of the process. The lock covers what NSLog may
// read from another thread while the main thread swaps the services.
#include "platform/foundation/PlatformServices.h"

#include <mutex>

#include "platform/foundation/LogSink.h"

namespace {
std::mutex servicesMutex;
PlatformServices& services() {
  static PlatformServices installed;
  return installed;
}
}  // namespace

PlatformServices& PlatformServices::current() { return services(); }

PlatformServices PlatformServices::exchange(PlatformServices next) {
  std::lock_guard lock(servicesMutex);
  std::swap(services(), next);
  return next;
}

std::shared_ptr<LogSink> NSCurrentLogSink() {
  std::lock_guard lock(servicesMutex);
  std::shared_ptr<LogSink>& sink = services().logSink;
  if (!sink) sink = makeStandardErrorLogSink();
  return sink;
}
