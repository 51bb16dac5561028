// NSLog's sink on the real machine: NSLog's line on standard error, and the
// message as a journal entry through JournalWriter. The lock keeps lines
// logged from several threads whole on both outputs.
#include "platform/foundation/LogSinkJournal.h"

#include <mutex>

#include "platform/foundation/NSLogLine.h"

namespace {

class JournalSink : public LogSink {
 public:
  explicit JournalSink(JournalWriter::Options options) : sink_(std::move(options)) {}
  void writeLogMessage(std::string_view message) override {
    std::lock_guard lock(mutex_);
    const JournalWriter::Options& options = sink_.options();
    writeLogLine(options.stderrFd, formatNSLogLineNow(message, options.identifier));
    sink_.log(message);
  }

 private:
  std::mutex mutex_;
  JournalWriter sink_;
};

}  // namespace

std::shared_ptr<LogSink> makeJournalLogSink(JournalWriter::Options options) {
  return std::make_shared<JournalSink>(std::move(options));
}
