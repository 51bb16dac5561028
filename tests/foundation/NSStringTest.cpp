// NSString: conversions, searching, splitting, numbers, formats and paths.
#include <gtest/gtest.h>

#include <climits>

#include "platform/foundation/NSString.h"
#include "platform/foundation/UTFConversion.h"

namespace {

template <class A, class B>
using Rows = std::initializer_list<std::pair<A, B>>;

// Long texts are converted a piece at a time; with small pieces every
// boundary falls inside some pair or sequence, and the result must not change.
TEST(NSString, ConversionInPiecesGivesTheSameText) {
  const struct {
    std::u16string units;
    std::string utf8;  // its UTF-8 form, U+FFFD for an unpaired surrogate
  } cases[] = {{u"a\U0001F600b\u20AC", "a\xF0\x9F\x98\x80\x62\xE2\x82\xAC"},
               {u"\u00E9\U0001F600\U0001F600", "\xC3\xA9\xF0\x9F\x98\x80\xF0\x9F\x98\x80"},
               {{u'a', char16_t(0xD800)}, "a\xEF\xBF\xBD"},
               {{char16_t(0xDC00), u'a', u'\0'}, std::string("\xEF\xBF\xBD\x61\0", 5)}};
  for (std::size_t piece = 1; piece <= 8; ++piece) {
    for (const auto& c : cases) {
      const bool paired = c.utf8.find("\xEF\xBF\xBD") == std::string::npos;
      EXPECT_EQ(foundation_detail::utf16ToUTF8(c.units, false, piece), c.utf8) << piece;
      EXPECT_EQ(foundation_detail::utf16ToUTF8(c.units, true, piece).has_value(), paired);
      const std::u16string back = paired ? c.units : foundation_detail::utf8ToUTF16(c.utf8);
      EXPECT_EQ(foundation_detail::utf8ToUTF16(c.utf8, piece), back) << piece;
    }
    // An incomplete sequence is one U+FFFD, wherever the pieces end.
    EXPECT_EQ(foundation_detail::utf8ToUTF16("a\xE2\x82", piece), u"a\uFFFD") << piece;
    EXPECT_EQ(foundation_detail::utf8ToUTF16("ab\xE2\x82\x63", piece), u"ab\uFFFD\x63") << piece;
  }
  EXPECT_EQ(NSString("a\x80z").characters(), u"a\uFFFDz");  // repaired, not dropped
  EXPECT_EQ(NSString::stringWithUTF8String(std::string_view("a\0b", 3)).length(), 3u);
  EXPECT_EQ(NSString(static_cast<const char*>(nullptr)).length(), 0u);
}

TEST(NSString, SearchSplitNumbersAndFormats) {
  EXPECT_EQ(NSString("xxabyy").rangeOfString("ab"), (NSRange{2, 2}));
  EXPECT_EQ(NSString("abc").rangeOfString("").location, NSNotFound);
  using Parts = std::vector<NSString>;
  EXPECT_EQ(NSString("1..2").componentsSeparatedByString("."), (Parts{"1", "", "2"}));
  EXPECT_EQ(NSString(".").componentsSeparatedByString("."), (Parts{"", ""}));
  EXPECT_EQ(NSString("a::b").componentsSeparatedByString("::"), (Parts{"a", "b"}));
  EXPECT_EQ(NSString("a.b").componentsSeparatedByString(""), (Parts{"a.b"}));
  // A no-break space is white space; an Arabic-Indic digit is no digit here.
  // clang-format off
  for (auto [text, value] : Rows<const char*, int32_t>{
           {"", 0}, {"0b1", 0}, {"  7x", 7}, {"\t\n-3", -3}, {"+8", 8}, {"- 8", 0},
           {"\xC2\xA0\x39", 9}, {"2147483648", INT32_MAX}, {"99999999999999999999999", INT32_MAX},
           {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"\xD9\xA3", 0}})
    // clang-format on
    EXPECT_EQ(NSString(text).intValue(), value) << text;

  struct Described {
    NSString description() const { return "described"; }
  };
  const Described* missing = nullptr;
  const Described present;
  EXPECT_EQ(
      NSString::stringWithFormat("%@ %@ %@ %s:%d %u%%", missing, &present, nullptr, "f", -12, 7u),
      NSString("(null) described (null) f:-12 7%"));
}

TEST(NSString, PathOperations) {
  // Path, last component, without it, extension, without the extension.
  // clang-format off
  const char* cases[][5] = {
      {"/tmp/scratch.tiff", "scratch.tiff", "/tmp", "tiff", "/tmp/scratch"},
      {"/tmp/", "tmp", "/", "", "/tmp"}, {"/", "/", "/", "", "/"}, {"", "", "", "", ""},
      {"a//b", "b", "a", "", "a//b"}, {"/tmp/.profile", ".profile", "/tmp", "", "/tmp/.profile"},
      {"/x/archive.tar.gz", "archive.tar.gz", "/x", "gz", "/x/archive.tar"},
      {"scratch..tiff", "scratch..tiff", "", "tiff", "scratch."},
      {"scratch.", "scratch.", "", "", "scratch."}, {"/a.b/c", "c", "/a.b", "", "/a.b/c"},
      {"s.bundle/", "s.bundle", "", "bundle", "s"}};
  // clang-format on
  for (const auto& c : cases) {
    const NSString path(c[0]);
    EXPECT_EQ(path.lastPathComponent(), NSString(c[1])) << c[0];
    EXPECT_EQ(path.stringByDeletingLastPathComponent(), NSString(c[2])) << c[0];
    EXPECT_EQ(path.pathExtension(), NSString(c[3])) << c[0];
    EXPECT_EQ(path.stringByDeletingPathExtension(), NSString(c[4])) << c[0];
  }
  // Path, argument, with it as an extension, with it as a component.
  // clang-format off
  const char* appends[][4] = {
      {"/tmp/s.old", "tiff", "/tmp/s.old.tiff", "/tmp/s.old/tiff"}, {"/tmp/", "x", "/tmp.x", "/tmp/x"},
      {"/", "x", "/", "/x"}, {"", "x", "", "x"}, {"/tmp", "a/b", "/tmp", "/tmp/a/b"}};
  // clang-format on
  for (const auto& c : appends) {
    EXPECT_EQ(NSString(c[0]).stringByAppendingPathExtension(c[1]), NSString(c[2])) << c[0];
    EXPECT_EQ(NSString(c[0]).stringByAppendingPathComponent(c[1]), NSString(c[3])) << c[0];
  }
}

}  // namespace
