// KVAdditions: substring, regular-expression, repetition, version numbers and
// path helpers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <tuple>

#include "platform/foundation/NSCalendarDate.h"
#include "stringadditions/KVAdditions.h"

namespace fs = std::filesystem;
using namespace KVAdditions;

namespace {

TEST(KVAdditions, ContainsStringIsCaseSensitiveAndNeverFindsNothing) {
  EXPECT_TRUE(containsString("Hushmoor.app", "Hushmoor.app"));
  EXPECT_TRUE(containsString("/Users/a/Old Hushmoor.app.zip", "Hushmoor.app"));
  EXPECT_FALSE(containsString("/Applications/hushmoor.app", "Hushmoor.app"));
  EXPECT_FALSE(containsString("Hushmoor", ""));
}

TEST(KVAdditions, MatchesREMatchesTheWholeReceiverWithIcuRulesAndDupRepeats) {
  // clang-format off
  const std::tuple<NSString, NSString, bool> cases[] = {
      {"pass1word", R"(.*\d.*)", true}, {"password", R"(.*\d.*)", false},
      {"a", "[a-z]", true}, {"ab", "[a-z]", false},  // a match of a part is no match
      {"ABC", "[a-z]+", false}, {u"\u00E9", "[a-z]", false},  // ranges cover code points only
      {u"x\uFF11", R"(.*\d.*)", true}, {u"\u2166", R"(.*\d.*)", false},  // digits, not numerals
      {u"a\u20281", R"(.*\d.*)", false},  // "." stops at a line separator
      {"abc\n", "^[a-zA-Z]+$", false},    // "$" before a final break is no whole match
      {"100% \"q\"", R"(100% "q")", true}, {"(", "(", false},  // unchanged; malformed
      {dup("a", 1'000'000), "a*", true}};  // backtracking deeper than ICU's default stack
  // clang-format on
  for (const auto& [receiver, pattern, matches] : cases)
    EXPECT_EQ(matchesRE(receiver, pattern), matches) << pattern;
  EXPECT_EQ(dup("ab", 3), NSString("ababab"));
  EXPECT_EQ(dup("ab", 1), NSString("ab"));
  EXPECT_EQ(dup("", 1000), NSString(""));
}

TEST(KVAdditions, NumericalVersionRepresentation) {
  // clang-format off
  const std::pair<const char*, int32_t> cases[] = {
      {"1.2.3", 10203}, {"10.4", 100400}, {"10.4.11", 100411}, {"1", 10000}, {"99.99.99", 999999},
      {"2.0b1", 20000}, {"1.05", 10500}, {"1..2", 10002}, {"", 0}, {"abc", 0}, {"1.2.3.4", -1},
      {"100", -1}, {"1.-2", -1}, {"1.2.3.", -1}, {" 1. 2", 10200}, {"4294967297", -1}};
  // clang-format on
  for (const auto& [version, value] : cases)
    EXPECT_EQ(numericalVersionRepresentation(version), value) << version;
}

TEST(KVAdditions, BundlePathAndFileExistence) {
  const fs::path root = fs::temp_directory_path() / ("kv-bundle-" + std::to_string(getpid()));
  fs::create_directories(root / "Sample.app/Contents/MacOS");
  fs::create_directories(root / "Low.app/Contents/macos");
  const auto p = [&](const char* rel) { return NSString((root / rel).string().c_str()); };
  for (const char* unchanged : {"Gone.app/Contents/MacOS/Gone", "Low.app/Contents/macos/Low"})
    EXPECT_EQ(bundlePathFromExecutablePath(p(unchanged)), p(unchanged));
  EXPECT_EQ(bundlePathFromExecutablePath(p("Sample.app/Contents/MacOS/Sample")), p("Sample.app"));
  EXPECT_EQ(bundlePathFromExecutablePath("/usr/bin/tool"), NSString("/usr/bin/tool"));
  EXPECT_TRUE(filePathExists(p("Low.app")));
  EXPECT_FALSE(filePathExists(p("Gone.app")));
  fs::remove_all(root);
}

TEST(KVAdditions, TimeStampGoesBeforeTheExtension) {
  std::tm t{};
  t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
  NSCalendarDate::setLocalClock([t] { return NSCalendarDate(t); });
  for (auto [path, expected] : {std::pair{"/tmp/log.txt", "/tmp/log 14-05-09.txt"},
                                {"/tmp/log", "/tmp/log 14-05-09"},
                                {"/tmp/archive.tar.gz", "/tmp/archive.tar 14-05-09.gz"},
                                {"/tmp/.profile", "/tmp/.profile 14-05-09"}})
    EXPECT_EQ(pathByAppendingCurrentTime(path), NSString(expected)) << path;
  EXPECT_EQ(pathByAppendingDateFormat("/tmp/a.log", "-%H%M"), NSString("/tmp/a-1405.log"));
  NSCalendarDate::setLocalClock({});
}

// The only test in this program that touches the folder caches, so their
// first fill happens here.
TEST(KVAdditions, EachFolderCacheIsFilledOnceAndOnItsOwn) {
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/first", 1), 0);
  EXPECT_EQ(applicationSupportFolder(), NSString("/first"));
  // The library cache was left empty, so it sees the environment of now.
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/second", 1), 0);
  EXPECT_EQ(libraryFolder("Logs"), NSString("/second/Logs"));
  ASSERT_EQ(setenv("XDG_DATA_HOME", "/third", 1), 0);
  EXPECT_EQ(libraryFolder(), NSString("/second"));
  EXPECT_EQ(applicationSupportFolder("My App"), NSString("/first/My App"));
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
