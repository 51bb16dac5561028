// JournalLogSink: NSLog's line on standard error and one journal entry per
// line, sent to a datagram socket of the test's own in place of journald's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "platform/linux/JournalLogSink.h"

namespace {

TEST(NSLogLine, HasDateProcessIdsAndTheMessage) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  struct Case {
    const char* message;
    const char* expected;
  };
  const Case cases[] = {
      {"hello", "2026-12-06 10:46:29.007 Hushmoor[42:43] hello\n"},
      {"ends with a break\n", "2026-12-06 10:46:29.007 Hushmoor[42:43] ends with a break\n"},
      {"", "2026-12-06 10:46:29.007 Hushmoor[42:43] \n"},
      {"100% %d %@ two\nlines", "2026-12-06 10:46:29.007 Hushmoor[42:43] 100% %d %@ two\nlines\n"},
  };
  const struct timespec when = {1796553989, 7999999};  // 2026-12-06 10:46:29.007999999 UTC
  for (const Case& c : cases)
    EXPECT_EQ(formatNSLogLine(when, "Hushmoor", 42, 43, c.message), c.expected);
}

TEST(NSLogLine, PriorityFollowsTheLinePrefix) {
  const std::pair<const char*, int> cases[] = {
      {"ERROR (f:1): broken", LOG_ERR},
      {"WARN (MySleepCallBack:9): x", LOG_WARNING},
      {"INFO: started", LOG_INFO},
      {"ALERT: Error: text [OK]", LOG_NOTICE},
      {"plain", LOG_NOTICE},
      {"", LOG_NOTICE},
  };
  for (const auto& [message, priority] : cases)
    EXPECT_EQ(journalPriorityOf(message), priority) << message;
}

class JournalLogSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::temp_directory_path() / ("hushmoor-journal-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    socketPath_ = (dir_ / "socket").string();
    journal_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(journal_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::pipe2(stderrPipe_, O_CLOEXEC), 0);
  }
  void TearDown() override {
    ::close(journal_);
    ::close(stderrPipe_[0]);
    ::close(stderrPipe_[1]);
    std::filesystem::remove_all(dir_);
  }

  JournalLogSink::Options options() const { return {"Hushmoor", socketPath_, stderrPipe_[1]}; }
  std::string readStderr() {
    char buffer[4096];
    const ssize_t n = ::read(stderrPipe_[0], buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
  }
  // Decodes one datagram of journald's native protocol.
  std::map<std::string, std::string> readEntry() {
    std::string data(65536, '\0');
    const ssize_t n = ::recv(journal_, data.data(), data.size(), MSG_DONTWAIT);
    std::map<std::string, std::string> fields;
    if (n <= 0) return fields;
    data.resize(static_cast<size_t>(n));
    size_t at = 0;
    while (at < data.size()) {
      const size_t end = data.find_first_of("=\n", at);
      if (end == std::string::npos) break;
      const std::string name = data.substr(at, end - at);
      if (data[end] == '=') {
        const size_t eol = data.find('\n', end);
        fields[name] = data.substr(end + 1, eol - end - 1);
        at = eol + 1;
      } else {
        uint64_t length = 0;
        for (int i = 7; i >= 0; --i)
          length = (length << 8) | static_cast<unsigned char>(data[end + 1 + i]);
        fields[name] = data.substr(end + 9, length);
        at = end + 9 + length + 1;
      }
    }
    return fields;
  }

  std::filesystem::path dir_;
  std::string socketPath_;
  int journal_ = -1;
  int stderrPipe_[2] = {-1, -1};
};

TEST_F(JournalLogSinkTest, EachLineGoesToStderrAndToTheJournalIntact) {
  JournalLogSink sink(options());
  ASSERT_TRUE(sink.writesJournal());
  const std::string messages[] = {
      "WARN (MySleepCallBack:42): error trying to turn airport off: Error "
      "Domain=NSPOSIXErrorDomain",
      "ALERT: Welcome!: first line\n\nEnjoy,\nYour friends at Kestrova [OK]",
      "100% sure: %s %@ \xc3\xa9t\xc3\xa9 MESSAGE=forged",
      std::string("INFO: a NUL \0 inside", 20),
  };
  for (const std::string& message : messages) {
    SCOPED_TRACE(message);
    sink.log(message);
    const std::string line = readStderr();
    const std::string tail = "Hushmoor[" + std::to_string(::getpid()) + ":";
    EXPECT_NE(line.find(tail), std::string::npos) << line;
    EXPECT_EQ(line.substr(line.size() - message.size() - 1), message + "\n");

    auto entry = readEntry();
    EXPECT_EQ(entry["MESSAGE"], message);
    EXPECT_EQ(entry["SYSLOG_IDENTIFIER"], "Hushmoor");
    EXPECT_EQ(entry["PRIORITY"], std::to_string(journalPriorityOf(message)));
    EXPECT_EQ(entry["SYSLOG_PID"], std::to_string(::getpid()));
  }
  EXPECT_TRUE(readEntry().empty()) << "one entry per line";
}

TEST_F(JournalLogSinkTest, WithoutAJournalStderrStillHasTheLine) {
  JournalLogSink::Options noJournal = options();
  noJournal.journalSocket = (dir_ / "absent").string();
  JournalLogSink sink(noJournal);
  sink.log("INFO: still here");
  EXPECT_NE(readStderr().find("] INFO: still here\n"), std::string::npos);
}

TEST_F(JournalLogSinkTest, AJournalThatFallsBehindNeverStallsTheLogger) {
  // Nobody reads the journal socket: its queue fills after a few hundred
  // entries, and a blocking send would wait forever (the alarm ends the test
  // program then, so the failure is seen rather than hung).
  ::alarm(60);
  JournalLogSink::Options quietStderr = options();
  quietStderr.stderrFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  JournalLogSink sink(quietStderr);
  for (int i = 0; i < 5000; ++i) sink.log("INFO: line " + std::to_string(i));
  ::alarm(0);
  ::close(quietStderr.stderrFd);
  EXPECT_EQ(readEntry()["MESSAGE"], "INFO: line 0");
}

}  // namespace
