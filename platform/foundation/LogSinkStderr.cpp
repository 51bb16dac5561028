// The default log: standard error, one line per message in NSLog's form.
#include <unistd.h>

#include "platform/foundation/LogSink.h"
#include "platform/foundation/NSLogLine.h"

namespace {

class StandardErrorLogSink : public LogSink {
 public:
  void writeLogMessage(std::string_view message) override {
    writeLogLine(STDERR_FILENO, formatNSLogLineNow(message));
  }
};

}  // namespace

std::shared_ptr<LogSink> makeStandardErrorLogSink() {
  return std::make_shared<StandardErrorLogSink>();
}
