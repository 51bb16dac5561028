// Ownership and behaviour of the CoreFoundation objects.
#include <gtest/gtest.h>

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

TEST(CFObjects, ArraysRetainTheirValuesOnlyWithCallbacks) {
  const struct {
    const CFArrayCallBacks* callbacks;
    CFIndex retainsWhileHeld;
  } cases[] = {{&kCFTypeArrayCallBacks, 3}, {nullptr, 1}};
  for (const auto& c : cases) {
    CFStringRef value = CFString::create("x");
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, c.callbacks);
    ASSERT_NE(array, nullptr);
    CFArrayAppendValue(array, value);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(CFGetRetainCount(value), c.retainsWhileHeld);
    EXPECT_EQ(CFArrayGetCount(array), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(array, 1), value);
    CFRelease(array);
    EXPECT_EQ(CFGetRetainCount(value), 1) << "released with the array";
    CFRelease(value);
  }
}

TEST(CFObjects, DictionaryFindsValuesByEqualKeysAndOwnsThem) {
  CFURLRef url = fileURL("/a b");
  CFStringRef otherKey = CFString::create("URL");  // equal to, not the same as, CFSTR("URL")
  const void* keys[] = {CFSTR("URL"), CFSTR("Hidden")};
  const void* values[] = {url, kCFBooleanTrue};
  CFDictionaryRef dict = CFDictionaryCreate(
      nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  ASSERT_NE(dict, nullptr);
  EXPECT_EQ(CFGetRetainCount(url), 2);
  EXPECT_EQ(CFDictionaryGetValue(dict, otherKey), url);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Hidden")), kCFBooleanTrue);
  EXPECT_EQ(CFDictionaryGetValue(dict, CFSTR("Missing")), nullptr);
  EXPECT_EQ(CFDictionaryGetCount(dict), 2);
  CFRelease(dict);
  EXPECT_EQ(CFGetRetainCount(url), 1);
  CFRelease(url);
  CFRelease(otherKey);
}

TEST(CFObjects, DictionaryRefusesMissingKeysOrCallbacksWithoutLeaking) {
  CFStringRef value = CFString::create("v");
  const void* keys[] = {CFSTR("a"), nullptr};
  const void* values[] = {value, value};
  EXPECT_EQ(CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                               &kCFTypeDictionaryValueCallBacks),
            nullptr);
  EXPECT_EQ(CFDictionaryCreate(nullptr, keys, values, 1, nullptr, nullptr), nullptr);
  EXPECT_EQ(CFGetRetainCount(value), 1);
  CFRelease(value);
}

TEST(CFObjects, ConstantsAreSharedAndImmortal) {
  EXPECT_EQ(CFSTR("URL"), CFSTR("URL"));
  CFRelease(kCFBooleanTrue);
  CFRelease(CFSTR("URL"));
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
  EXPECT_EQ(CFSTR("URL")->utf8(), "URL");
}

TEST(CFObjects, FileURLsFromPaths) {
  const struct {
    std::string input;
    std::string path;  // "" when no URL is made
  } cases[] = {
      {"/tmp/x", "/tmp/x"},
      {"/tmp/with space/", "/tmp/with space"},
      {"/", "/"},
      {"//", "/"},
      {"/new\nline", "/new\nline"},
      {"", ""},
      {std::string("/a\0b", 4), ""},
  };
  for (const auto& c : cases) {
    CFURLRef url = fileURL(c.input);
    if (c.path.empty()) {
      EXPECT_EQ(url, nullptr) << c.input;
      continue;
    }
    ASSERT_NE(url, nullptr) << c.input;
    EXPECT_EQ(url->path(), c.path);
    CFRelease(url);
  }
  CFURLRef relative = fileURL("rel");  // taken against the current folder
  ASSERT_NE(relative, nullptr);
  EXPECT_EQ(relative->path().front(), '/');
  EXPECT_EQ(relative->path().substr(relative->path().size() - 4), "/rel");
  CFRelease(relative);
}

TEST(CFObjects, FileSystemRepresentationNeedsRoomForTheTerminator) {
  CFURLRef url = fileURL("/abc");
  UInt8 small[4], exact[5];
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, small, sizeof small));
  EXPECT_TRUE(CFURLGetFileSystemRepresentation(url, true, exact, sizeof exact));
  EXPECT_STREQ(reinterpret_cast<char*>(exact), "/abc");
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_EQ(path->utf8(), "/abc");
  CFRelease(path);
  CFRelease(url);
}

TEST(CFObjects, EqualityFollowsContent) {
  CFURLRef a = fileURL("/x/"), b = fileURL("/x"), dir = fileURL("/x", true);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_FALSE(CFEqual(a, dir));
  EXPECT_FALSE(CFEqual(a, kCFBooleanTrue));
  CFRelease(a);
  CFRelease(b);
  CFRelease(dir);
}

TEST(CFObjectsDeathTest, ReleasingNullAbortsWithAMessage) {
  EXPECT_DEATH(CFRelease(nullptr), "CFRelease called with a NULL object");
}

}  // namespace
