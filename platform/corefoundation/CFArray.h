// CFArray: an ordered list of objects. Arrays made with kCFTypeArrayCallBacks
// retain what they hold and release it when they go; with NULL callbacks they
// hold plain pointers that they never touch.
#pragma once

#include <vector>

#include "platform/corefoundation/CFObject.h"

struct CFArrayCallBacks {
  bool retainsValues;
};
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

class CFArray final : public CFObject {
 public:
  CFTypeID typeID() const override { return kCFArrayTypeID; }
  bool equals(const CFObject& other) const override;

 private:
  friend CFArray* CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks*);
  friend void CFArrayAppendValue(CFArray*, const void*);
  friend CFIndex CFArrayGetCount(const CFArray*);
  friend const void* CFArrayGetValueAtIndex(const CFArray*, CFIndex);
  explicit CFArray(bool retainsValues) : retainsValues_(retainsValues) {}
  ~CFArray() override;
  bool retainsValues_;
  std::vector<const void*> values_;
};

using CFArrayRef = const CFArray*;
using CFMutableArrayRef = CFArray*;

// Both return NULL when memory runs out.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
void CFArrayAppendValue(CFMutableArrayRef array, const void* value);
CFIndex CFArrayGetCount(CFArrayRef array);
// An index outside the array aborts: it is a programming error.
const void* CFArrayGetValueAtIndex(CFArrayRef array, CFIndex index);
