// LogSink: where NSLog's lines go. The real machine writes them to standard
// error (and, with its own backend, to the journal); tests and the simulated
// machine capture them.
#pragma once

#include <memory>
#include <string_view>

class LogSink {
 public:
  virtual ~LogSink() = default;
  // Receives one finished message: the formatted text only, without date,
  // process prefix or trailing newline (it may itself hold newlines). Called
  // on the thread that logs; must not call NSLog itself.
  virtual void writeLogMessage(std::string_view message) = 0;
};

// The sink NSLog writes to: the installed platform services' (see
// PlatformServices.h), the standard-error sink when none is installed. Any
// thread; does not block.
std::shared_ptr<LogSink> NSCurrentLogSink();

// Standard error in NSLog's line format:
// "2026-12-06 10:45:55.123 Hushmoor[4242:4242] message".
std::shared_ptr<LogSink> makeStandardErrorLogSink();
