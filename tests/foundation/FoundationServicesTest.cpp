// File existence, bundles, durable replacement, dates and standard folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/DurableFile.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSCalendarDate.h"
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPathUtilities.h"
#include "tests/support/TemporaryUserEnvironment.h"

namespace fs = std::filesystem;

namespace {

TEST(Foundation, FileExistenceBundlesAndAFailedReplacement) {
  std::string pattern = (fs::temp_directory_path() / "hushmoor-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const fs::path root = pattern;
  const auto at = [&](const char* relative) { return NSString((root / relative).c_str()); };
  fs::create_directory(root / "with space\nand newline");
  std::ofstream(root / "file") << "x";
  fs::create_symlink(root / "nowhere", root / "dangling");
  bool isDirectory = false;
  auto& fm = NSFileManager::defaultManager();
  EXPECT_TRUE(fm.fileExistsAtPath(at("with space\nand newline"), &isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_TRUE(fm.fileExistsAtPath(at("file"), &isDirectory));
  EXPECT_FALSE(isDirectory);
  EXPECT_FALSE(fm.fileExistsAtPath(at("dangling")));  // links are followed
  EXPECT_FALSE(fm.fileExistsAtPath(""));
  // A NUL would otherwise cut the path back to the existing folder.
  EXPECT_FALSE(
      fm.fileExistsAtPath(NSString::stringWithUTF8String(pattern + std::string("\0/x", 3))));

  EXPECT_NE(NSBundle::bundleWithPath(at("with space\nand newline")), nullptr);
  EXPECT_EQ(NSBundle::bundleWithPath(at("file")), nullptr);
  EXPECT_EQ(NSBundle::bundleWithPath(at("missing")), nullptr);

  EXPECT_TRUE(DurableFile::replace(at("with space\nand newline").UTF8String(),
                                   (root / "t.XXXXXX").string(), "new", 0600));
  EXPECT_EQ(std::distance(fs::directory_iterator(root), {}), 3)
      << "renaming onto a folder fails: no temporary file stays";
  fs::remove_all(root);
}

TEST(Foundation, CalendarFormatsKnownConversionsAndCopiesTheRest) {
  std::tm t{};
  t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
  const NSCalendarDate date(t, 42);
  const std::u16string unpaired{char16_t(0xD800)};
  // clang-format off
  const std::pair<NSString, NSString> cases[] = {
      {" %H-%M-%S", " 14-05-09"}, {"%Y-%m-%d", "2026-12-06"}, {"%F ms", "042 ms"},
      {"100%% %q %", "100% %q %"},
      {u"%\u0159", u"%\u0159"},  // not "%Y": a code unit is never cut to a byte
      {unpaired + u"%H", unpaired + u"14"}};  // copied as it stands
  // clang-format on
  for (const auto& [format, expected] : cases)
    EXPECT_EQ(date.descriptionWithCalendarFormat(format), expected) << format;
}

TEST(Foundation, SearchPathFollowsXdgDataHome) {
  TemporaryUserEnvironment user;  // puts HOME and XDG_DATA_HOME back at the end
  const struct {
    const char *xdgDataHome, *home;  // nullptr: unset
    bool expandTilde;
    const char* expected;
  } cases[] = {{"/data", "/home/u", true, "/data"},
               {"/data", "/home/u", false, "/data"},
               {"relative", "/home/u", true, "/home/u/.local/share"},
               {nullptr, "/home/u", true, "/home/u/.local/share"},
               {nullptr, "/home/u", false, "~/.local/share"}};
  for (const auto& c : cases) {
    c.xdgDataHome ? setenv("XDG_DATA_HOME", c.xdgDataHome, 1) : unsetenv("XDG_DATA_HOME");
    setenv("HOME", c.home, 1);
    for (NSSearchPathDirectory dir : {NSLibraryDirectory, NSApplicationSupportDirectory})
      EXPECT_EQ(NSSearchPathForDirectoriesInDomains(dir, NSUserDomainMask, c.expandTilde),
                std::vector<NSString>{c.expected});
    // No other folder, no other domain.
    EXPECT_TRUE(
        NSSearchPathForDirectoriesInDomains(NSSearchPathDirectory(99), NSUserDomainMask, true)
            .empty());
    EXPECT_TRUE(
        NSSearchPathForDirectoriesInDomains(NSLibraryDirectory, NSSearchPathDomainMask(2), true)
            .empty());
  }
}

}  // namespace
