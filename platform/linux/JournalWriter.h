// The systemd journal's client for the log: each message goes to the journal
// as one entry with the message untouched, under the program's identifier,
// unless standard error already leads there.
#pragma once

#include <string>
#include <string_view>

// The journal priority a line deserves, from the prefix the program's log
// lines carry: "ERROR" is an error, "WARN" a warning, "INFO" informational.
int journalPriorityOf(std::string_view message);

class JournalWriter {
 public:
  struct Options {
    std::string identifier;  // empty: the program's short name
    std::string journalSocket = "/run/systemd/journal/socket";
    int stderrFd = 2;  // when it leads to the journal already, no entries are sent
  };
  JournalWriter();
  explicit JournalWriter(Options options);
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Sends one entry; never blocks (an entry journald has no room for is
  // dropped). Not thread-safe: LogSinkJournal serialises the calls.
  void log(std::string_view message);
  const Options& options() const { return options_; }

 private:
  bool sendToJournal(std::string_view message);

  Options options_;
  bool writeJournal_ = true;
  int socket_ = -1;
};
