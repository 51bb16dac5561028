// Must not compile: each CASE misuses a checked format in one way. The tests
// that build it pass only when the compiler refuses it at the check meant.
#include "platform/foundation/NSString.h"

int main() {
#if CASE == 1
  NSString::stringWithFormat("%d", "text");  // a string for an integer
#elif CASE == 2
  NSString::stringWithFormat("%@ %@", NSString("one"));  // too few arguments
#elif CASE == 3
  NSString::stringWithFormat("%@", NSString("a"), 2);  // too many arguments
#elif CASE == 4
  NSString::stringWithFormat("%f", 2);  // a conversion the formats do not know
#elif CASE == 5
  NSString::stringWithFormat("100%");  // a lone "%" at the end
#endif
  return 0;
}
