// KVAdditions: version numbers, bundle folders, time-stamped paths, user folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/foundation/NSCalendarDate.h"
#include "platform/foundation/NSPathUtilities.h"
#include "stringadditions/KVAdditions.h"

namespace fs = std::filesystem;
using namespace KVAdditions;

namespace {

TEST(NumericalVersionRepresentation, ThreeNumbersOfTwoDigits) {
  struct Case {
    const char* version;
    int32_t value;
  } cases[] = {
      {"1.2.3", 10203},    {"10.4", 100400},  {"10.4.11", 100411}, {"1", 10000},
      {"99.99.99", 999999}, {"2.0b1", 20000}, {"1.05", 10500},     {"1.5", 10500},
      {"1..2", 10002},      {"", 0},          {"abc", 0},          {"1.2.3.4", -1},
      {"100", -1},          {"1.-2", -1},     {"1.2.3.", -1},      {".", 0},
      {" 1. 2", 10200},     {"+1", 10000},    {"4294967297", -1},  // overflow saturates, not wraps to 1
      {"99999999999999999999.1", -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(numericalVersionRepresentation(c.version), c.value) << c.version;
}

TEST(BundlePathFromExecutablePath, TwoLevelsAboveMacOSWhenThatFolderExists) {
  const fs::path root = fs::temp_directory_path() / ("kv-bundle-" + std::to_string(getpid()));
  fs::create_directories(root / "Sample.app/Contents/MacOS");
  fs::create_directories(root / "Low.app/Contents/macos");
  const auto p = [&](const char* rel) { return NSString((root / rel).string().c_str()); };
  struct Case {
    NSString executable;
    NSString expected;
  } cases[] = {
      {p("Sample.app/Contents/MacOS/Sample"), p("Sample.app")},
      {p("Gone.app/Contents/MacOS/Gone"), p("Gone.app/Contents/MacOS/Gone")},
      {p("Low.app/Contents/macos/Low"), p("Low.app/Contents/macos/Low")},
      {"/usr/bin/tool", "/usr/bin/tool"},
      {"MacOS/tool", "MacOS/tool"},  // nothing two levels above: the current folder is no bundle
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(bundlePathFromExecutablePath(c.executable), c.expected) << c.executable;
  fs::remove_all(root);
}

class TimeStampedPath : public ::testing::Test {
 protected:
  void SetUp() override {
    std::tm t{};
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    NSCalendarDate::setLocalClock([t] { return NSCalendarDate(t); });
  }
  void TearDown() override { NSCalendarDate::setLocalClock({}); }
};

TEST_F(TimeStampedPath, StampGoesBeforeTheExtension) {
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {"/tmp/log.txt", "/tmp/log 14-05-09.txt"},
      {"/tmp/log", "/tmp/log 14-05-09"},
      {"/tmp/archive.tar.gz", "/tmp/archive.tar 14-05-09.gz"},
      {"/tmp/.profile", "/tmp/.profile 14-05-09"},
      {"/tmp/dir/", "/tmp/dir 14-05-09"},
      {"log.", "log. 14-05-09"},
      {"", " 14-05-09"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(pathByAppendingCurrentTime(c.path), NSString(c.expected)) << c.path;
  EXPECT_EQ(pathByAppendingDateFormat("/tmp/a.log", "-%H%M"), NSString("/tmp/a-1405.log"));
  EXPECT_EQ(pathByAppendingDateFormat("/tmp/a.log", ""), NSString("/tmp/a.log"));
}

// The only test in this program that touches the folder caches, so their
// first fill happens here.
TEST(UserFolders, EachCacheIsFilledOnceAndOnItsOwn) {
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/first", 1), 0);
  EXPECT_EQ(applicationSupportFolder(), NSString("/first"));
  // The library cache was left empty, so it sees the environment of now.
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/second", 1), 0);
  EXPECT_EQ(libraryFolder("Logs"), NSString("/second/Logs"));
  // Neither changes once filled.
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/third", 1), 0);
  EXPECT_EQ(&libraryFolder(), &libraryFolder());
  EXPECT_EQ(libraryFolder(), NSString("/second"));
  EXPECT_EQ(applicationSupportFolder("My App"), NSString("/first/My App"));
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
