// KVAdditions: the password score, a fixed series of regular-expression tests.
#include "stringadditions/KVAdditions.h"

namespace KVAdditions {
namespace {

// One character of the special class: 25 ASCII punctuation characters.
constexpr const char* kSpecialClass = R"([!@#\$%\^\&\*\?_`~=\-\+\(\)\[\{\}\]\|\\\/\.])";

struct PasswordPatterns {
  NSString threeDigits = R"(.*\d.*\d.*\d.*)";
  NSString oneSpecial = NSString::stringWithFormat(".*%@.*", NSString(kSpecialClass));
  NSString twoSpecials =
      NSString::stringWithFormat(".*%@.*%@.*", NSString(kSpecialClass), NSString(kSpecialClass));
  NSString mixedCase = ".*[a-z].*[A-Z].*|.*[A-Z].*[a-z].*";
  NSString letter = ".*[a-zA-Z].*";
  NSString digit = R"(.*\d.*)";
  NSString lettersOnly = "^[a-zA-Z]+$";
  NSString digitsOnly = R"(^\d+$)";
};

// The shortest length whose score is 100 whatever the tests find.
constexpr int64_t kAlwaysFullScoreLength = 28;
static_assert(4 * kAlwaysFullScoreLength - 10 >= 100 &&
              4 * (kAlwaysFullScoreLength - 1) - 10 < 100);

const PasswordPatterns& patterns() {
  static const PasswordPatterns built;
  return built;
}

}  // namespace

int32_t passwordStrength(const NSString& self) {
  const auto n = static_cast<int64_t>(self.length());
  if (n <= 3) return static_cast<int32_t>(n);
  // No test takes away more than 10, so from 28 units on the score is at least
  // 4 * 28 - 10 = 102 and clamps to 100. Skipping the tests there also spares
  // long inputs the patterns' backtracking, which grows with the square of
  // the length.
  if (n >= kAlwaysFullScoreLength) return 100;
  const PasswordPatterns& p = patterns();

  int64_t score = 4 * n;
  for (const NSString* test : {&p.threeDigits, &p.oneSpecial, &p.twoSpecials, &p.mixedCase})
    if (matchesRE(self, *test)) score += 5;

  // Each pair runs its second test only when the first passed.
  const std::pair<const NSString*, const NSString*> pairs[] = {
      {&p.letter, &p.digit}, {&p.oneSpecial, &p.digit}, {&p.oneSpecial, &p.letter}};
  for (const auto& [first, second] : pairs) {
    if (matchesRE(self, *first) && matchesRE(self, *second)) score += n >= 9 ? 15 : 10;
  }

  if (matchesRE(self, p.lettersOnly)) {
    score -= 10;
  } else if (matchesRE(self, p.digitsOnly)) {
    score -= 10;
  }

  if (score < 0) return 0;
  if (score > 100) return 100;
  return static_cast<int32_t>(score);
}

}  // namespace KVAdditions
