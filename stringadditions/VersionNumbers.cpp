// KVAdditions: version strings of up to three numbers as one comparable integer.
#include "stringadditions/KVAdditions.h"

namespace KVAdditions {

// intValue saturates, so a component whose digits overflow 32 bits reads as a
// huge value and gives -1 like any other component above 99.
int32_t numericalVersionRepresentation(const NSString& self) {
  const std::vector<NSString> components = self.componentsSeparatedByString(".");
  if (components.empty() || components.size() > 3) return -1;
  int32_t result = 0;
  int32_t weight = 10000;
  for (const NSString& component : components) {
    const int32_t value = component.intValue();
    if (value < 0 || value > 99) return -1;
    result += value * weight;
    weight /= 100;
  }
  return result;
}

}  // namespace KVAdditions
