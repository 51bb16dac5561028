// A log sink that keeps the messages (tests) and may pass each on (the
// simulated machine prints them).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/LogSink.h"

class LogSinkCapture : public LogSink {
 public:
  using MessageObserver = std::function<void(std::string_view message)>;
  void setMessageObserver(MessageObserver observer) { observer_ = std::move(observer); }
  const std::vector<std::string>& messages() const { return messages_; }
  void clear() { messages_.clear(); }

  void writeLogMessage(std::string_view message) override {
    messages_.emplace_back(message);
    if (observer_) observer_(message);
  }

 private:
  std::vector<std::string> messages_;
  MessageObserver observer_;
};
