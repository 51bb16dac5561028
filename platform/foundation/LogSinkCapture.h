// A log sink that keeps the messages, for tests and benchmarks.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation/LogSink.h"

class LogSinkCapture : public LogSink {
 public:
  const std::vector<std::string>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

  void writeLogMessage(std::string_view message) override { messages_.emplace_back(message); }

 private:
  std::vector<std::string> messages_;
};
