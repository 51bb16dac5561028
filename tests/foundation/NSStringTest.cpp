// NSString: UTF-16 storage, conversions, searching, splitting, numbers, formats.
#include <gtest/gtest.h>

#include <climits>

#include "platform/foundation/NSString.h"

namespace {

TEST(NSString, LengthCountsUtf16CodeUnits) {
  struct Case {
    const char* utf8;
    std::size_t length;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"\xC3\xA9", 1},                  // é: one unit
      {"\xE2\x82\xAC", 1},              // €: one unit
      {"\xF0\x9F\x98\x80", 2},          // an emoji outside the BMP: a surrogate pair
      {"a\xF0\x9F\x98\x80" "b", 4},
  };
  for (const Case& c : cases) EXPECT_EQ(NSString(c.utf8).length(), c.length) << c.utf8;
}

TEST(NSString, Utf8RoundTripsAndRepairsMalformedInput) {
  const std::string text = "caf\xC3\xA9 \xF0\x9F\x98\x80";
  EXPECT_EQ(NSString(text.c_str()).UTF8String(), text);
  EXPECT_EQ(NSString(static_cast<const char*>(nullptr)).length(), 0u);
  // A stray continuation byte becomes U+FFFD instead of vanishing.
  EXPECT_EQ(NSString("a\x80z").characters(), u"a\uFFFDz");
  // An embedded NUL is kept when the length is known.
  EXPECT_EQ(NSString::stringWithUTF8String(std::string_view("a\0b", 3)).length(), 3u);
}

TEST(NSString, UnpairedSurrogateHasNoFaithfulUtf8Form) {
  const NSString lone(std::u16string{u'a', char16_t(0xD800), u'b'});
  EXPECT_FALSE(lone.UTF8StringIfRepresentable().has_value());
  EXPECT_EQ(lone.UTF8String(), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(NSString(u"\U0001F600").UTF8StringIfRepresentable(), "\xF0\x9F\x98\x80");
}

TEST(NSString, RangeOfStringIsLiteralAndCaseSensitive) {
  struct Case {
    const char* haystack;
    const char* needle;
    std::size_t location;
  } cases[] = {
      {"Hushmoor.app", "Hushmoor.app", 0},
      {"/Applications/Hushmoor.app", "Hushmoor", 14},
      {"abcabc", "cab", 2},
      {"Hushmoor", "hushmoor", NSNotFound},
      {"abc", "", NSNotFound},
      {"", "a", NSNotFound},
      {"ab", "abc", NSNotFound},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NSString(c.haystack).rangeOfString(c.needle).location, c.location)
        << c.haystack << " / " << c.needle;
  EXPECT_EQ(NSString("xxabyy").rangeOfString("ab"), (NSRange{2, 2}));
}

TEST(NSString, ComponentsKeepEmptyPieces) {
  struct Case {
    const char* text;
    std::vector<NSString> parts;
  } cases[] = {
      {"", {""}},
      {"1", {"1"}},
      {"1.2.3", {"1", "2", "3"}},
      {"1..2", {"1", "", "2"}},
      {".", {"", ""}},
      {"a.", {"a", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NSString(c.text).componentsSeparatedByString("."), c.parts) << c.text;
  EXPECT_EQ(NSString("a::b").componentsSeparatedByString("::"), (std::vector<NSString>{"a", "b"}));
  EXPECT_EQ(NSString("a.b").componentsSeparatedByString(""), (std::vector<NSString>{"a.b"}));
}

TEST(NSString, IntValueReadsLeadingDecimalAndSaturates) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"42", 42},
      {"0b1", 0},
      {"05", 5},
      {"  7x", 7},
      {"\t\n-3", -3},
      {"+8", 8},
      {"- 8", 0},
      {"\xC2\xA0" "9", 9},  // no-break space counts as white space
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"\xD9\xA3", 0},  // an Arabic-Indic digit is not read as a number
  };
  for (const Case& c : cases) EXPECT_EQ(NSString(c.text).intValue(), c.value) << c.text;
}

struct Described {
  NSString description() const { return "described"; }
};

TEST(NSString, FormatSubstitutesObjectsAndKeepsTheirText) {
  const NSString cls = R"([!@#\$%\^\&])";
  EXPECT_EQ(NSString::stringWithFormat(".*%@.*%@.*", cls, cls),
            NSString(R"(.*[!@#\$%\^\&].*[!@#\$%\^\&].*)"));
  const Described* missing = nullptr;
  const Described present;
  EXPECT_EQ(NSString::stringWithFormat("%@ %@ %@", missing, &present, nullptr),
            NSString("(null) described (null)"));
  EXPECT_EQ(NSString::stringWithFormat("%s:%d %u%%", "f", -12, 7u), NSString("f:-12 7%"));
  const char* noText = nullptr;
  EXPECT_EQ(NSString::stringWithFormat("%s", noText), NSString("(null)"));
}

}  // namespace
