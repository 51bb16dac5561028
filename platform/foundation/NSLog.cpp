// NSLog's plumbing: the installed sink, guarded so that logging from any thread
// is safe while a sink is being swapped.
#include "platform/foundation/NSLog.h"

#include <mutex>

namespace {
std::mutex sinkMutex;
std::shared_ptr<LogSink>& installedSink() {
  static std::shared_ptr<LogSink> sink;
  return sink;
}
}  // namespace

void NSSetLogSink(std::shared_ptr<LogSink> sink) {
  std::lock_guard lock(sinkMutex);
  installedSink() = std::move(sink);
}

std::shared_ptr<LogSink> NSCurrentLogSink() {
  std::lock_guard lock(sinkMutex);
  if (!installedSink()) installedSink() = makeStandardErrorLogSink();
  return installedSink();
}

void NSLogMessage(std::string_view message) { NSCurrentLogSink()->writeLogMessage(message); }
