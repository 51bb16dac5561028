// NSPredicate: ICU regular expressions, compiled once per distinct pattern.
// A compiled pattern is immutable and shared across threads; every evaluation
// makes its own matcher, as ICU requires.
#include "platform/foundation/NSPredicate.h"

#include <unicode/regex.h>

#include <climits>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

namespace {

// Beyond this many distinct patterns the cache starts afresh, so a caller that
// builds patterns from data cannot make it grow without end.
constexpr std::size_t kMaxCachedPatterns = 256;

class PatternCache {
 public:
  std::shared_ptr<const icu::RegexPattern> get(const std::u16string& source) {
    {
      std::shared_lock lock(mutex_);
      if (auto it = patterns_.find(source); it != patterns_.end()) return it->second;
    }
    std::shared_ptr<const icu::RegexPattern> compiled = compile(source);
    std::unique_lock lock(mutex_);
    if (patterns_.size() >= kMaxCachedPatterns) patterns_.clear();
    patterns_.emplace(source, compiled);
    return compiled;
  }

 private:
  static std::shared_ptr<const icu::RegexPattern> compile(const std::u16string& source) {
    // ICU holds at most INT32_MAX code units; a longer pattern cannot be compiled.
    if (source.size() > INT32_MAX) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    const icu::UnicodeString text(false, source.data(), static_cast<int32_t>(source.size()));
    std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(text, 0, where, status));
    if (U_FAILURE(status)) return nullptr;
    return pattern;
  }

  std::shared_mutex mutex_;
  std::unordered_map<std::u16string, std::shared_ptr<const icu::RegexPattern>> patterns_;
};

PatternCache& patternCache() {
  static PatternCache cache;
  return cache;
}

}  // namespace

NSPredicate NSPredicate::selfMatches(const NSString& pattern) {
  return NSPredicate(patternCache().get(pattern.characters()));
}

// The matcher's backtracking stack is left unlimited (ICU's default is 8 MB,
// which a pattern such as "a*" exhausts at about a million characters), so a
// "false" means "does not match" wherever ICU can run the match at all. It
// cannot, and the answer is false with no match found, when the object is
// longer than INT32_MAX code units (more than ICU's strings hold), when memory
// runs out, or when the backtracking stack would pass ICU's own ceiling of
// 2 GB, which "a*" reaches at about 67 million characters.
bool NSPredicate::evaluateWithObject(const NSString& object) const {
  const std::u16string& units = object.characters();
  if (!pattern_ || units.size() > INT32_MAX) return false;
  UErrorCode status = U_ZERO_ERROR;
  const icu::UnicodeString input(false, units.data(), static_cast<int32_t>(units.size()));
  std::unique_ptr<icu::RegexMatcher> matcher(pattern_->matcher(input, status));
  if (U_FAILURE(status)) return false;
  matcher->setStackLimit(0, status);  // 0: no limit of our own
  const bool matched = matcher->matches(status);
  return U_SUCCESS(status) && matched;
}
