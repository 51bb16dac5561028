// NSPredicate, in the one form the program uses: "SELF MATCHES %@", a match of
// the whole string against an ICU regular expression with no flags.
#pragma once

#include <memory>

#include "platform/foundation/NSString.h"

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

class NSPredicate {
 public:
  // The predicate "SELF MATCHES %@" with the pattern as its constant argument.
  // Each distinct pattern is compiled once per process and shared; a
  // malformed pattern gives a predicate that matches nothing.
  static NSPredicate selfMatches(const NSString& pattern);

  // Whether the whole object matches. Runs on the calling thread (any) and
  // takes as long as the match; false also when ICU cannot run the match at
  // all (see the definition for when that happens).
  bool evaluateWithObject(const NSString& object) const;

 private:
  explicit NSPredicate(std::shared_ptr<const icu::RegexPattern> pattern)
      : pattern_(std::move(pattern)) {}
  std::shared_ptr<const icu::RegexPattern> pattern_;  // null when the pattern is malformed
};
