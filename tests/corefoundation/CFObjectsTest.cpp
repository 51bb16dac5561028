// File URLs, and a release of nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/corefoundation/CFBoolean.h"
#include "platform/corefoundation/CFURL.h"

namespace {

CFURLRef fileURL(const std::string& path, bool isDirectory = false) {
  return CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>(path.data()), CFIndex(path.size()), isDirectory);
}

TEST(CFObjects, FileURLs) {
  const std::pair<std::string, std::string> cases[] = {
      // input, path ("": no URL)
      {"/tmp/with space/", "/tmp/with space"}, {"//", "/"}, {"/new\nline", "/new\nline"}, {"", ""},
      {std::string("/a\0b", 4), ""},
  };
  for (const auto& [input, path] : cases) {
    CFURLRef url = fileURL(input);
    EXPECT_EQ(url == nullptr ? "" : url->path(), path) << input;
    if (url != nullptr) CFRelease(url);
  }
  CFURLRef relative = fileURL("rel");  // taken against the current folder
  EXPECT_EQ(relative->path(), std::filesystem::current_path().string() + "/rel");
  CFRelease(relative);

  CFURLRef url = fileURL("/abc"), same = fileURL("/abc/"), dir = fileURL("/abc", true);
  UInt8 small[4], exact[5];
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, small, sizeof small));
  EXPECT_TRUE(CFURLGetFileSystemRepresentation(url, true, exact, sizeof exact));
  EXPECT_STREQ(reinterpret_cast<char*>(exact), "/abc");
  EXPECT_TRUE(CFEqual(url, same));
  EXPECT_FALSE(CFEqual(url, dir));
  EXPECT_FALSE(CFEqual(url, kCFBooleanTrue));
  for (CFURLRef u : {url, same, dir}) CFRelease(u);
}

TEST(CFObjectsDeathTest, ReleasingNullAbortsWithAMessage) {
  EXPECT_DEATH(CFRelease(nullptr), "CFRelease called with a NULL object");
}

}  // namespace
