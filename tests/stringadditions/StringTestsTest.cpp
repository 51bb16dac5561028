// KVAdditions: substring, regular-expression, file-existence and repetition tests.
#include <gtest/gtest.h>

#include "stringadditions/KVAdditions.h"

using namespace KVAdditions;

namespace {

TEST(ContainsString, CaseSensitiveAndEmptyNeedleNeverFound) {
  struct Case {
    const char* haystack;
    const char* needle;
    bool contained;
  } cases[] = {
      {"Hushmoor.app", "Hushmoor.app", true},
      {"/Users/a/Old Hushmoor.app.zip", "Hushmoor.app", true},
      {"/Applications/hushmoor.app", "Hushmoor.app", false},
      {"Hushmoor", "", false},
      {"", "", false},
      {"", "a", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(containsString(c.haystack, c.needle), c.contained) << c.haystack << " / " << c.needle;
}

TEST(MatchesRE, WholeInputIcuSemantics) {
  struct Case {
    NSString receiver;
    NSString pattern;
    bool matches;
  } cases[] = {
      {"pass1word", R"(.*\d.*)", true},
      {"password", R"(.*\d.*)", false},
      {"a", "[a-z]", true},
      {"ab", "[a-z]", false},  // a match of a part is no match
      {"ab", "^[a-z]+$", true},
      {"", "^$", true},
      {"", ".*", true},
      {"ABC", "[a-z]+", false},  // case-sensitive
      {u"\u00E9", "[a-z]", false},  // ranges cover code points only
      {u"x\u0663", R"(.*\d.*)", true},      // Arabic-Indic three is a decimal digit
      {u"x\uFF11", R"(.*\d.*)", true},      // and so is a full-width one
      {u"\u2166", R"(.*\d.*)", false},      // a Roman numeral is not
      {"a\nb1", R"(.*\d.*)", false},        // "." stops at a line break
      {"a\r\n1", R"(.*\d.*)", false},
      {u"a\u20281", R"(.*\d.*)", false},    // so does the line separator
      {"abc\n", "^[a-zA-Z]+$", false},      // "$" before a final break is no whole match
      {"100% \"quoted\"", R"(100% "quoted")", true},  // the pattern reaches ICU unchanged
      {"x", "(", false},                    // malformed
      {"(", "(", false},
      {"x", "[", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(matchesRE(c.receiver, c.pattern), c.matches)
        << c.receiver << " ~ " << c.pattern;
}

TEST(FilePathExists, AnythingAtThePath) {
  EXPECT_TRUE(filePathExists("/"));
  EXPECT_TRUE(filePathExists("/dev/null"));
  EXPECT_FALSE(filePathExists(""));
  EXPECT_FALSE(filePathExists("/no/such/hushmoor/path"));
}

TEST(Dup, RepeatsTheReceiver) {
  struct Case {
    NSString receiver;
    uint32_t count;
    NSString expected;
  } cases[] = {
      {"ab", 3, "ababab"},
      {"ab", 1, "ab"},
      {"ab", 0, ""},
      {"", 1, ""},
      {"", 1000, ""},
      {u"\U0001F600", 2, u"\U0001F600\U0001F600"},
  };
  for (const auto& c : cases) {
    const NSString result = dup(c.receiver, c.count);
    EXPECT_EQ(result, c.expected) << c.receiver << " x" << c.count;
    EXPECT_EQ(result.length(), c.receiver.length() * c.count);
  }
}

}  // namespace
