// KVAdditions: password scores and e-mail address checks.
#include <gtest/gtest.h>

#include <string>

#include "stringadditions/KVAdditions.h"

using namespace KVAdditions;

namespace {

TEST(PasswordStrength, ScoresByTheTestTable) {
  struct Case {
    NSString password;
    int32_t score;
  } cases[] = {
      {"", 0},
      {"$!a", 3},
      {"$!@", 3},
      {"abcd", 6},
      {"1234", 11},
      {"abcD", 11},
      {"$$$$", 26},
      {"abc1", 26},
      {"aB1$", 56},
      {"abcdefgh", 22},
      {"abcdefg1", 42},
      {"123456789", 31},
      {"Abcdefgh1", 56},
      {"aB1$c2#de", 96},
      {"aB1$32#de", 100},
      {NSString(std::string(25, 'a').c_str()), 90},
      {NSString(std::string(28, 'a').c_str()), 100},
      {"    ", 16},  // spaces are in no class at all
  };
  for (const auto& c : cases) EXPECT_EQ(passwordStrength(c.password), c.score) << c.password;
}

TEST(PasswordStrength, FollowsIcuDigitsLineBreaksAndUtf16Length) {
  struct Case {
    NSString password;
    int32_t score;
  } cases[] = {
      {u"abc\u0661", 26},                     // a non-ASCII decimal digit is a digit
      {u"\u0661\u0662\u0663\u0664", 11},      // and four of them are digits only
      {"ab 12", 30},
      {"ab\n12", 20},                         // ".*" cannot cross the break: no letter, no digit
      {"abcd\n", 20},
      {u"\U0001F600\U0001F600", 16},          // two characters, four code units
      {u"\U0001F600a", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(passwordStrength(c.password), c.score) << c.password;
}

TEST(PasswordStrength, SpecialClassHoldsExactlyItsTwentyFiveCharacters) {
  const std::string members = R"(!#$%&()*+-./=?@[\]^_`{|}~)";
  ASSERT_EQ(members.size(), 25u);
  for (int c = 0x20; c < 0x7F; ++c) {
    if (std::isalnum(c)) continue;
    const std::string password = std::string("aaa") + static_cast<char>(c);
    // 16, plus 5 for one special and 10 for special and letter.
    const int32_t expected = members.find(static_cast<char>(c)) != std::string::npos ? 31 : 16;
    EXPECT_EQ(passwordStrength(password.c_str()), expected) << password;
  }
  EXPECT_EQ(passwordStrength(u"aaa\u00A7"), 16);  // non-ASCII punctuation is outside
}

TEST(ValidEmail, ShapeOfTheAddress) {
  struct Case {
    NSString address;
    bool valid;
  } cases[] = {
      {"a@b.c", true},
      {"A1@B2.C3", true},
      {".a@b.c", true},
      {"a.@b.c", true},
      {"-_@b.c", true},
      {"a@b.c.", true},
      {"a@b.", true},
      {"a@b-.c", true},
      {"a@b", false},
      {"@b.c", false},
      {"a@@b.c", false},
      {"a@b@c.d", false},
      {"a..b@c.d", false},
      {"a@b..c", false},
      {"a@.b.c", false},
      {"a@-b.c", false},
      {"a@b_c.d", false},
      {"a+b@c.d", false},
      {"a b@c.d", false},
      {"a@", false},
      {"", false},
      {"example.com", false},        // no "@" at all
      {"b.c", false},
      {u"\u00E9@b.c", false},        // non-ASCII anywhere
      {u"a@b.c\u00E9", false},
      {u"a@\U0001F600.c", false},
      {NSString(std::u16string{u'a', u'@', u'b', u'.', u'c', char16_t(0xDC00)}), false},
      {NSString(std::u16string{u'a', u'@', u'b', u'.', u'c', u'\0', u'x'}), false},  // hidden tail
      {"a@b.c\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(validEmail(c.address), c.valid) << c.address;
}

}  // namespace
