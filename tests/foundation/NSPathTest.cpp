// NSString path operations at their edges: roots, trailing and repeated "/",
// hidden files, empty strings, names without "/".
#include <gtest/gtest.h>

#include "platform/foundation/NSString.h"

namespace {

struct PathCase {
  const char* path;
  const char* expected;
};

using PathOperation = NSString (NSString::*)() const;

void expectAll(PathOperation op, std::initializer_list<PathCase> cases) {
  for (const PathCase& c : cases) EXPECT_EQ((NSString(c.path).*op)(), NSString(c.expected)) << c.path;
}

TEST(NSStringPath, LastPathComponent) {
  expectAll(&NSString::lastPathComponent, {{"/tmp/scratch.tiff", "scratch.tiff"},
                                           {"/tmp/scratch", "scratch"},
                                           {"/tmp/", "tmp"},
                                           {"scratch///", "scratch"},
                                           {"/", "/"},
                                           {"//", "/"},
                                           {"", ""},
                                           {"a//b", "b"},
                                           {"name", "name"}});
}

TEST(NSStringPath, DeletingLastPathComponent) {
  expectAll(&NSString::stringByDeletingLastPathComponent, {{"/tmp/scratch.tiff", "/tmp"},
                                                           {"/tmp/lock/", "/tmp"},
                                                           {"/tmp/", "/"},
                                                           {"/tmp", "/"},
                                                           {"/", "/"},
                                                           {"scratch.tiff", ""},
                                                           {"a//b", "a"},
                                                           {"", ""},
                                                           {"A.app/Contents/MacOS/A", "A.app/Contents/MacOS"}});
}

TEST(NSStringPath, PathExtension) {
  expectAll(&NSString::pathExtension, {{"/tmp/scratch.tiff", "tiff"},
                                       {".scratch.tiff", "tiff"},
                                       {"/tmp/scratch", ""},
                                       {"/tmp/", ""},
                                       {"/tmp/scratch..tiff", "tiff"},
                                       {"/tmp/.profile", ""},
                                       {"/tmp/archive.tar.gz", "gz"},
                                       {"/a.b/c", ""},
                                       {"/tmp/scratch.tiff/", "tiff"},
                                       {"scratch.", ""},
                                       {"", ""}});
}

TEST(NSStringPath, DeletingPathExtension) {
  expectAll(&NSString::stringByDeletingPathExtension, {{"/tmp/scratch.tiff", "/tmp/scratch"},
                                                       {"/tmp/", "/tmp"},
                                                       {"scratch.bundle/", "scratch"},
                                                       {"scratch..tiff", "scratch."},
                                                       {".tiff", ".tiff"},
                                                       {"/", "/"},
                                                       {"/a.b/c", "/a.b/c"},
                                                       {"/tmp/archive.tar.gz", "/tmp/archive.tar"},
                                                       {"scratch.", "scratch."}});
}

TEST(NSStringPath, AppendingExtensionAndComponent) {
  struct Case {
    const char* path;
    const char* argument;
    const char* withExtension;
    const char* withComponent;
  } cases[] = {
      {"/tmp/scratch.old", "tiff", "/tmp/scratch.old.tiff", "/tmp/scratch.old/tiff"},
      {"/tmp/", "tiff", "/tmp.tiff", "/tmp/tiff"},
      {"scratch", "tiff", "scratch.tiff", "scratch/tiff"},
      {"/", "tiff", "/", "/tiff"},
      {"", "tiff", "", "tiff"},
      {"/tmp", "a/b", "/tmp", "/tmp/a/b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NSString(c.path).stringByAppendingPathExtension(c.argument), NSString(c.withExtension))
        << c.path;
    EXPECT_EQ(NSString(c.path).stringByAppendingPathComponent(c.argument), NSString(c.withComponent))
        << c.path;
  }
}

}  // namespace
