// The real machine's log: NSLog's line on standard error and one journal
// entry per line, sent to a datagram socket of the test's own in place of
// journald's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <string>
#include <tuple>

#include "platform/foundation/LogSinkJournal.h"
#include "platform/foundation/NSLogLine.h"

namespace {

class JournalWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    journal_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;  // an abstract socket: nothing to clean up
    const std::string name = "hm-journal-" + std::to_string(::getpid());
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    ASSERT_EQ(::bind(journal_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    options_ = {"Hushmoor", std::string(1, '\0') + name, -1};
    ASSERT_EQ(::pipe2(stderr_, O_CLOEXEC | O_NONBLOCK), 0);
    options_.stderrFd = stderr_[1];
  }
  void TearDown() override {
    for (int fd : {journal_, stderr_[0], stderr_[1]}) ::close(fd);
  }
  std::string readEntry() {
    std::string data(65536, '\0');
    const ssize_t n = ::recv(journal_, data.data(), data.size(), MSG_DONTWAIT);
    data.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return data;
  }

  JournalWriter::Options options_;
  int journal_ = -1, stderr_[2] = {-1, -1};
};

TEST_F(JournalWriterTest, EachLineGoesToStderrAndToTheJournalIntact) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const struct timespec when = {1796553989, 7999999};  // milliseconds cut, not rounded
  for (const char* message : {"hello", "hello\n"})     // the line break added when missing
    EXPECT_EQ(formatNSLogLine(when, "Hushmoor", 42, 43, message),
              "2026-12-06 10:46:29.007 Hushmoor[42:43] hello\n");
  auto sink = makeJournalLogSink(options_);
  // The priority follows the prefix. A message with a line break or a NUL
  // goes length-prefixed: the field's name, its length as 64-bit little
  // endian, the bytes.
  const std::tuple<std::string, int, bool> messages[] = {
      {"WARN (MySleepCallBack:42): error trying to turn airport off: Error", LOG_WARNING, false},
      {"ALERT: Welcome!: first line\n\nEnjoy,\nYour friends at Kestrova [OK]", LOG_NOTICE, true},
      {"ERROR (f:1): 100% sure: %s %@ \xc3\xa9t\xc3\xa9 MESSAGE=forged", LOG_ERR, false},
      {std::string("INFO: a NUL \0 inside", 20), LOG_INFO, true},
  };
  const std::regex linePrefix(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} Hushmoor\[\d+:\d+\] )");
  for (const auto& [message, priority, prefixed] : messages) {
    sink->writeLogMessage(message);
    char line[4096];
    const ssize_t n = ::read(stderr_[0], line, sizeof line);
    ASSERT_GT(n, 0);
    std::smatch prefix;
    const std::string written(line, n);
    EXPECT_TRUE(std::regex_search(written, prefix, linePrefix) && prefix.position() == 0 &&
                written.substr(prefix.length()) == message + "\n")
        << written;
    std::string entry = "PRIORITY=" + std::to_string(priority) +
                        "\nSYSLOG_IDENTIFIER=Hushmoor\nSYSLOG_PID=" + std::to_string(::getpid());
    entry += prefixed ? "\nMESSAGE\n" + std::string(1, char(message.size())) + std::string(7, '\0')
                      : "\nMESSAGE=";
    EXPECT_EQ(readEntry(), entry + message + "\n");
  }
  EXPECT_TRUE(readEntry().empty()) << "one entry per line";
}

TEST_F(JournalWriterTest, AJournalThatFallsBehindNeverStallsTheLogger) {
  // Nobody reads the journal socket: its queue fills after a few hundred
  // entries, and a blocking send would wait forever (the alarm ends the test
  // program then, so the failure is seen rather than hung).
  ::alarm(60);
  options_.stderrFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  auto sink = makeJournalLogSink(options_);
  for (int i = 0; i < 5000; ++i) sink->writeLogMessage("INFO: line " + std::to_string(i));
  ::alarm(0);
  ::close(options_.stderrFd);
  EXPECT_NE(readEntry().find("\nMESSAGE=INFO: line 0\n"), std::string::npos);
}

}  // namespace
