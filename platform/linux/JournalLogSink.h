// Where NSLog's lines go on Linux: standard error, in NSLog's own line format
// ("2026-12-06 10:46:29.123 Hushmoor[4242:4242] message"), and the systemd
// journal as one entry per line with the message untouched.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <string>
#include <string_view>

// NSLog's line: local date and time with milliseconds, process name,
// [pid:thread id], the message, and a line break unless it already ends with one.
std::string formatNSLogLine(const struct timespec& when, std::string_view process, pid_t pid,
                            long threadId, std::string_view message);

// The journal priority a line deserves, from the prefix the program's log
// lines carry: "ERROR" is an error, "WARN" a warning, "INFO" informational.
int journalPriorityOf(std::string_view message);

class JournalLogSink {
 public:
  struct Options {
    std::string identifier;  // empty: the program's short name
    std::string journalSocket = "/run/systemd/journal/socket";
    int stderrFd = 2;
  };
  JournalLogSink();
  explicit JournalLogSink(Options options);
  ~JournalLogSink();
  JournalLogSink(const JournalLogSink&) = delete;
  JournalLogSink& operator=(const JournalLogSink&) = delete;

  void log(std::string_view message);

 private:
  bool sendToJournal(std::string_view message);

  Options options_;
  bool writeJournal_ = true;
  int socket_ = -1;
};
