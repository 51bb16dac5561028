// Ownership and behaviour of the CoreFoundation objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/corefoundation/CFArray.h"
#include "platform/corefoundation/CFBoolean.h"
#include "platform/corefoundation/CFDictionary.h"
#include "platform/corefoundation/CFString.h"
#include "platform/corefoundation/CFURL.h"

namespace {

CFURLRef fileURL(const std::string& path, bool isDirectory = false) {
  return CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>(path.data()), CFIndex(path.size()), isDirectory);
}

TEST(CFObjects, CollectionsOwnTheirValues) {
  for (const auto& [callbacks, retainsWhileHeld] :
       {std::pair{&kCFTypeArrayCallBacks, 3}, std::pair{(const CFArrayCallBacks*)nullptr, 1}}) {
    CFStringRef value = CFString::create("x");
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, callbacks);
    CFArrayAppendValue(array, value);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(CFGetRetainCount(value), retainsWhileHeld);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), value);
    CFRelease(array);
    EXPECT_EQ(CFGetRetainCount(value), 1) << "released with the array";
    CFRelease(value);
  }

  CFURLRef url = fileURL("/a b");
  CFStringRef otherKey = CFString::create("URL");  // equal to, not the same as, CFSTR("URL")
  const void* keys[] = {CFSTR("URL"), CFSTR("Hidden"), nullptr};
  const void* values[] = {url, kCFBooleanTrue, url};
  const auto create = [&](CFIndex n) {
    return CFDictionaryCreate(nullptr, keys, values, n, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
  };
  EXPECT_EQ(create(3), nullptr);  // a missing key is refused, and nothing stays retained
  CFDictionaryRef dict = create(2);
  EXPECT_EQ(CFGetRetainCount(url), 2);
  EXPECT_EQ(CFDictionaryGetValue(dict, otherKey), url);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Hidden")), kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Missing")), nullptr);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(url), 1);
  CFRelease(url);
  CFRelease(otherKey);

  // Constants are shared and outlive any release.
  EXPECT_EQ(CFSTR("URL"), CFSTR("URL"));
  CFRelease(kCFBooleanTrue);
  CFRelease(CFSTR("URL"));
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue) && !CFBooleanGetValue(kCFBooleanFalse));
  EXPECT_EQ(CFSTR("URL")->utf8(), "URL");
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
