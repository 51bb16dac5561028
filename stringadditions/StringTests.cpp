// KVAdditions: substring, regular-expression, file-existence and repetition.
#include "platform/foundation/NSFileManager.h"
#include "platform/foundation/NSPredicate.h"
#include "stringadditions/KVAdditions.h"

namespace KVAdditions {

bool containsString(const NSString& self, const NSString& needle) {
  return self.rangeOfString(needle).location != NSNotFound;
}

bool matchesRE(const NSString& self, const NSString& pattern) {
  return NSPredicate::selfMatches(pattern).evaluateWithObject(self);
}

bool filePathExists(const NSString& self) {
  return NSFileManager::defaultManager().fileExistsAtPath(self);
}

NSString dup(const NSString& self, uint32_t count) {
  // No caller asks for zero copies; the natural answer is the empty string.
  if (count == 0) return {};
  std::u16string copies;
  copies.reserve(self.length() * count);
  for (uint32_t i = 0; i < count; ++i) copies += self.characters();
  return NSString(std::move(copies));
}

}  // namespace KVAdditions
