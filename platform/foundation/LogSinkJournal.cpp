// NSLog's sink over JournalWriter. The lock keeps lines logged from several
// threads whole on both outputs.
#include "platform/foundation/LogSinkJournal.h"

#include <mutex>

namespace {

class JournalSink : public LogSink {
 public:
  explicit JournalSink(JournalWriter::Options options) : sink_(std::move(options)) {}
  void writeLogMessage(std::string_view message) override {
    std::lock_guard lock(mutex_);
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
