// KVAdditions used as any program would; 0 when its answers are right.
#include <stringadditions/KVAdditions.h>

int main() {
  const bool right = KVAdditions::numericalVersionRepresentation("1.2.3") == 10203 &&
                     KVAdditions::matchesRE("abc123", "[a-z]+\\d+") &&
                     !KVAdditions::validEmail("no-at-sign");
  return right ? 0 : 1;
}
