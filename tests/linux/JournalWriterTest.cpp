// JournalWriter: NSLog's line on standard error and one journal entry per
// line, sent to a datagram socket of the test's own in place of journald's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/foundation/NSLogLine.h"
#include "platform/linux/JournalWriter.h"

namespace {

TEST(JournalWriter, FormatsNSLogLinesAndPrioritiesFromThePrefix) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const struct timespec when = {1796553989, 7999999};  // 2026-12-06 10:46:29.007999999 UTC
  for (const char* message : {"hello", "hello\n"})
    EXPECT_EQ(formatNSLogLine(when, "Hushmoor", 42, 43, message),
              "2026-12-06 10:46:29.007 Hushmoor[42:43] hello\n");
  const std::pair<const char*, int> priorities[] = {{"ERROR (f:1): x", LOG_ERR},
                                                    {"WARN (f:9): x", LOG_WARNING},
                                                    {"INFO: started", LOG_INFO},
                                                    {"ALERT: Error: text [OK]", LOG_NOTICE}};
  for (const auto& [message, priority] : priorities)
    EXPECT_EQ(journalPriorityOf(message), priority) << message;
}

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
  JournalWriter sink(options_);
  // A message with a line break or a NUL goes length-prefixed: the field's
  // name, its length as 64-bit little endian, the bytes.
  const std::pair<std::string, bool> messages[] = {
      {"WARN (MySleepCallBack:42): error trying to turn airport off: Error", false},
      {"ALERT: Welcome!: first line\n\nEnjoy,\nYour friends at Kestrova [OK]", true},
      {"100% sure: %s %@ \xc3\xa9t\xc3\xa9 MESSAGE=forged", false},
      {std::string("INFO: a NUL \0 inside", 20), true},
  };
  for (const auto& [message, prefixed] : messages) {
    sink.log(message);
    char line[4096];
    const ssize_t n = ::read(stderr_[0], line, sizeof line);
    ASSERT_GT(n, 0);
    EXPECT_TRUE(std::string(line, n).ends_with("] " + message + "\n"));
    std::string entry = "PRIORITY=" + std::to_string(journalPriorityOf(message)) +
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
  JournalWriter sink(options_);
  for (int i = 0; i < 5000; ++i) sink.log("INFO: line " + std::to_string(i));
  ::alarm(0);
  ::close(options_.stderrFd);
  EXPECT_NE(readEntry().find("\nMESSAGE=INFO: line 0\n"), std::string::npos);
}

}  // namespace
