// NSLog, NSError and NSBundle's main bundle.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "platform/foundation/LogSinkCapture.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSError.h"
#include "platform/foundation/NSLog.h"

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { NSSetLogSink(log); }
  void TearDown() override { NSSetLogSink(nullptr); }
  std::shared_ptr<CapturingLogSink> log = std::make_shared<CapturingLogSink>();
};

TEST_F(LogTest, FormatsEachConversionAndPrintsMissingObjectsAsNull) {
  std::shared_ptr<NSError> none;
  auto error = NSError::errorWithDomain("NSPOSIXErrorDomain", 5, "Input/output error");
  NSLog("WARN (%s:%d): error trying to turn airport off: %@", "MySleepCallBack", 42, none);
  NSLog("%@ | %u%% | %i", error, 7u, -3);
  EXPECT_EQ(log->messages(),
            (std::vector<std::string>{
                "WARN (MySleepCallBack:42): error trying to turn airport off: (null)",
                "Error Domain=NSPOSIXErrorDomain Code=5 \"Input/output error\" | 7% | -3"}));
}

TEST(StandardErrorLogTest, WritesNSLogsLineFormat) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  const int savedStderr = dup(STDERR_FILENO);
  dup2(pipeEnds[1], STDERR_FILENO);
  makeStandardErrorLogSink()->writeLogMessage("hello 5");
  makeStandardErrorLogSink()->writeLogMessage("ends its line\n");
  dup2(savedStderr, STDERR_FILENO);
  close(savedStderr);
  close(pipeEnds[1]);
  char buffer[256] = {};
  const ssize_t n = read(pipeEnds[0], buffer, sizeof buffer - 1);
  close(pipeEnds[0]);
  ASSERT_GT(n, 0);
  EXPECT_TRUE(std::regex_match(
      std::string(buffer, static_cast<size_t>(n)),
      std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[\d+:\d+\] hello 5\n)"
                 R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \S+\[\d+:\d+\] ends its line\n)")))
      << buffer;
}

TEST(NSBundleTest, TheMainBundleIsTheSetPathOrTheExecutablesFolder) {
  NSBundle::setMainBundlePath("/home/u/Applications/Hushmoor.app");
  NSBundle::setMainBundleIdentifier("");
  EXPECT_EQ(NSBundle::mainBundle()->bundlePath(), NSString("/home/u/Applications/Hushmoor.app"));
  EXPECT_EQ(NSBundle::mainBundle()->bundleIdentifier(), NSString("Hushmoor"));
  NSBundle::setMainBundlePath("");
  // A test program is no bundle: its folder stands in.
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(NSBundle::mainBundle()->bundlePath(),
            NSString(exe).stringByDeletingLastPathComponent());
}

}  // namespace
