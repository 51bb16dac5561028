// KVAdditions: password scores and e-mail address checks.
#include <gtest/gtest.h>

#include <string>

#include "stringadditions/KVAdditions.h"

using namespace KVAdditions;

namespace {

TEST(PasswordStrength, Scores) {
  // clang-format off
  const std::pair<NSString, int32_t> cases[] = {
      {"", 0}, {"$!@", 3}, {"abcd", 6}, {"1234", 11}, {"abcD", 11}, {"$$$$", 26}, {"abc1", 26},
      {"aB1$", 56}, {"abcdefgh", 22}, {"abcdefg1", 42}, {"123456789", 31}, {"Abcdefgh1", 56},
      {"aB1$c2#de", 96}, {"aB1$32#de", 100}, {"    ", 16},  // a space is in no class
      {dup("a", 25), 90}, {dup("a", 27), 98}, {dup("a", 28), 100},
      {dup("a", 2'000'000), 100},  // answered without running any pattern
      {u"abc\u0661", 26}, {u"\u0661\u0662\u0663\u0664", 11},  // non-ASCII decimal digits
      {"ab\n12", 20},  // ".*" cannot cross the break
      {u"\U0001F600\U0001F600", 16}, {u"\U0001F600a", 3}};  // length in UTF-16 code units
  // clang-format on
  for (const auto& [password, score] : cases)
    EXPECT_EQ(passwordStrength(password), score) << password;

  const std::string specials = R"(!#$%&()*+-./=?@[\]^_`{|}~)";
  for (char c = 0x20; c < 0x7F; ++c) {
    if (std::isalnum(c)) continue;
    // 16, plus 5 for one special and 10 for special and letter.
    const int32_t expected = specials.find(c) != std::string::npos ? 31 : 16;
    EXPECT_EQ(passwordStrength((std::string("aaa") + c).c_str()), expected) << c;
  }
  EXPECT_EQ(passwordStrength(u"aaa\u00A7"), 16);  // non-ASCII punctuation is outside
}

TEST(ValidEmail, ShapeOfTheAddress) {
  for (const char* address : {"a@b.c", "A1@B2.C3", ".a@b.c", "a.@b.c", "-_@b.c", "a@b.", "a@b-.c"})
    EXPECT_TRUE(validEmail(address)) << address;
  // clang-format off
  const NSString invalid[] = {
      "a@b", "@b.c", "a@@b.c", "a@b@c.d", "a..b@c.d", "..a@b.c", "a@b..c", "a@.b.c", "a@-b.c",
      "a@b_c.d", "a+b@c.d", "a b@c.d", "a@", "", "example.com", "a@b.c\n", u"\u00E9@b.c",
      u"a@\U0001F600.c",
      std::u16string{u'a', u'@', u'b', u'.', u'c', char16_t(0xDC00)},  // unpaired surrogate
      std::u16string{u'a', u'@', u'b', u'.', u'c', u'\0', u'x'}};      // text hidden after a NUL
  // clang-format on
  for (const NSString& address : invalid) EXPECT_FALSE(validEmail(address)) << address;
}

}  // namespace
