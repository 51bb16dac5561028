// Arrays of objects or plain pointers.
#include "platform/corefoundation/CFArray.h"

#include <cstdio>
#include <cstdlib>
#include <new>

const CFArrayCallBacks kCFTypeArrayCallBacks{true};

CFArray::~CFArray() {
  if (!retainsValues_) return;
  for (const void* value : values_) CFRelease(static_cast<CFTypeRef>(value));
}

bool CFArray::equals(const CFObject& other) const {
  const auto& that = static_cast<const CFArray&>(other);
  if (values_.size() != that.values_.size()) return false;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (values_[i] == that.values_[i]) continue;
    if (!retainsValues_ || !that.retainsValues_) return false;
    if (!CFEqual(static_cast<CFTypeRef>(values_[i]), static_cast<CFTypeRef>(that.values_[i])))
      return false;
  }
  return true;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks) {
  auto* array = new (std::nothrow) CFArray(callBacks != nullptr && callBacks->retainsValues);
  if (array != nullptr && capacity > 0) {
    try {
      array->values_.reserve(static_cast<std::size_t>(capacity));
    } catch (const std::exception&) {
      CFRelease(array);
      return nullptr;
    }
  }
  return array;
}

void CFArrayAppendValue(CFMutableArrayRef array, const void* value) {
  if (array->retainsValues_) CFRetain(static_cast<CFTypeRef>(value));
  array->values_.push_back(value);
}

CFIndex CFArrayGetCount(CFArrayRef array) { return static_cast<CFIndex>(array->values_.size()); }

const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index) {
  if (index < 0 || static_cast<std::size_t>(index) >= array->values_.size()) {
    std::fprintf(stderr, "CFArrayGetValueAtIndex: index %ld outside an array of %zu values\n",
                 index, array->values_.size());
    std::abort();
  }
  return array->values_[static_cast<std::size_t>(index)];
}
