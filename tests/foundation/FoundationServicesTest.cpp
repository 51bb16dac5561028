// File existence, bundles, calendar formatting, standard folders and predicates.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSCalendarDate.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPathUtilities.h"
#include "platform/foundation/NSPredicate.h"

namespace fs = std::filesystem;

namespace {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hushmoor-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override { fs::remove_all(root); }
  NSString at(const std::string& relative) const {
    return NSString((root / relative).string().c_str());
  }
  fs::path root;
};

using FileManagerTest = TempFolder;

TEST_F(FileManagerTest, AnythingThatExistsAndNothingElse) {
  fs::create_directory(root / "with space\nand newline");
  std::ofstream(root / "file") << "x";
  fs::create_symlink(root / "nowhere", root / "dangling");
  bool isDirectory = false;
  auto& fm = NSFileManager::defaultManager();
  EXPECT_TRUE(fm.fileExistsAtPath(at("with space\nand newline"), &isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_TRUE(fm.fileExistsAtPath(at("file"), &isDirectory));
  EXPECT_FALSE(isDirectory);
  EXPECT_TRUE(fm.fileExistsAtPath("/dev/null"));
  EXPECT_FALSE(fm.fileExistsAtPath(at("missing")));
  EXPECT_FALSE(fm.fileExistsAtPath(at("dangling")));  // links are followed
  EXPECT_FALSE(fm.fileExistsAtPath(""));
  // A NUL would otherwise cut the path back to the existing folder.
  const std::string withNul = root.string() + std::string("\0/x", 3);
  EXPECT_FALSE(fm.fileExistsAtPath(NSString::stringWithUTF8String(withNul)));
}

TEST_F(FileManagerTest, BundleNeedsAFolder) {
  fs::create_directory(root / "Sample.app");
  std::ofstream(root / "plain") << "x";
  ASSERT_NE(NSBundle::bundleWithPath(at("Sample.app")), nullptr);
  EXPECT_EQ(NSBundle::bundleWithPath(at("Sample.app"))->bundlePath(), at("Sample.app"));
  EXPECT_EQ(NSBundle::bundleWithPath(at("plain")), nullptr);
  EXPECT_EQ(NSBundle::bundleWithPath(at("missing")), nullptr);
}

TEST(NSCalendarDate, FormatsKnownConversionsAndCopiesTheRest) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 6;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  const NSCalendarDate date(t, 42);
  struct Case {
    const char* format;
    const char* expected;
  } cases[] = {
      {" %H-%M-%S", " 14-05-09"},
      {"%Y-%m-%d", "2026-12-06"},
      {"%F ms", "042 ms"},
      {"100%% %q %", "100% %q %"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(date.descriptionWithCalendarFormat(c.format), NSString(c.expected)) << c.format;
}

TEST(NSCalendarDate, ClockIsReplaceable) {
  std::tm t{};
  t.tm_hour = 3;
  NSCalendarDate::setLocalClock([t] { return NSCalendarDate(t); });
  EXPECT_EQ(NSCalendarDate::calendarDate().descriptionWithCalendarFormat("%H"), NSString("03"));
  NSCalendarDate::setLocalClock({});
  // Back on the system clock: the hour is whatever it is, but always two digits.
  EXPECT_EQ(NSCalendarDate::calendarDate().descriptionWithCalendarFormat("%H").length(), 2u);
}

TEST(NSSearchPath, FollowsXdgDataHome) {
  using Env = std::map<std::string, std::string>;
  struct Case {
    Env env;
    std::optional<std::string> accountHome;
    bool expandTilde;
    std::vector<NSString> expected;
  } cases[] = {
      {{{"XDG_DATA_HOME", "/data"}, {"HOME", "/home/u"}}, "/x", true, {"/data"}},
      {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/u"}}, "/x", true, {"/home/u/.local/share"}},
      {{{"HOME", "/home/u/"}}, "/x", true, {"/home/u/.local/share"}},
      {{{"HOME", "/home/u"}}, "/x", false, {"~/.local/share"}},
      {{}, "/home/account", true, {"/home/account/.local/share"}},
      {{{"HOME", ""}}, std::nullopt, true, {}},
  };
  for (const Case& c : cases) {
    auto env = [&](const char* name) -> std::optional<std::string> {
      auto it = c.env.find(name);
      return it == c.env.end() ? std::nullopt : std::optional(it->second);
    };
    auto home = [&] { return c.accountHome; };
    for (NSSearchPathDirectory dir : {NSLibraryDirectory, NSApplicationSupportDirectory})
      EXPECT_EQ(foundation_detail::searchPaths(dir, NSUserDomainMask, c.expandTilde, env, home),
                c.expected);
  }
  auto env = [](const char*) { return std::optional<std::string>("/data"); };
  auto home = [] { return std::optional<std::string>("/h"); };
  EXPECT_TRUE(foundation_detail::searchPaths(NSSearchPathDirectory(99), NSUserDomainMask, true, env,
                                             home)
                  .empty());
  EXPECT_TRUE(foundation_detail::searchPaths(NSLibraryDirectory, NSSearchPathDomainMask(2), true,
                                             env, home)
                  .empty());
}

TEST(NSPredicate, MalformedPatternsMatchNothing) {
  for (const char* pattern : {"(", "[a-", "*", "a{2,1}", "\\"}) {
    EXPECT_FALSE(NSPredicate::selfMatches(pattern).evaluateWithObject("")) << pattern;
    EXPECT_FALSE(NSPredicate::selfMatches(pattern).evaluateWithObject("(")) << pattern;
  }
}

TEST(NSPredicate, SharedPatternGivesTheSameAnswersOnEveryThread) {
  const NSPredicate digits = NSPredicate::selfMatches(R"(.*\d.*\d.*)");
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        const NSPredicate again = NSPredicate::selfMatches(R"(.*\d.*\d.*)");
        if (!digits.evaluateWithObject("a1b2") || again.evaluateWithObject("a1b")) ++wrong;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(NSPredicate, ManyDistinctPatternsStayCorrectPastTheCacheBound) {
  for (int i = 0; i < 600; ++i) {
    const std::string n = std::to_string(i);
    ASSERT_TRUE(NSPredicate::selfMatches(("x" + n).c_str()).evaluateWithObject(("x" + n).c_str()));
    ASSERT_FALSE(NSPredicate::selfMatches(("x" + n).c_str()).evaluateWithObject("x"));
  }
}

}  // namespace
