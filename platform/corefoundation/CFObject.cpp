// Reference counting shared by every CoreFoundation object.
#include "platform/corefoundation/CFObject.h"

#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void nullObject(const char* function) {
  std::fprintf(stderr, "%s called with a NULL object\n", function);
  std::abort();
}
}  // namespace

CFTypeRef CFRetain(CFTypeRef object) {
  if (object == nullptr) nullObject("CFRetain");
  if (!object->immortal_) object->retainCount_.fetch_add(1, std::memory_order_relaxed);
  return object;
}

void CFRelease(CFTypeRef object) {
  if (object == nullptr) nullObject("CFRelease");
  if (object->immortal_) return;
  if (object->retainCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete object;
}

CFIndex CFGetRetainCount(CFTypeRef object) {
  if (object == nullptr) nullObject("CFGetRetainCount");
  return object->retainCount_.load(std::memory_order_relaxed);
}

Boolean CFEqual(CFTypeRef a, CFTypeRef b) {
  if (a == nullptr || b == nullptr) nullObject("CFEqual");
  return a == b || (a->typeID() == b->typeID() && a->equals(*b));
}
