// CFDictionary: an immutable map from objects to objects. Keys are compared
// with CFEqual; both keys and values are retained for the dictionary's life.
#pragma once

#include <utility>
#include <vector>

#include "platform/corefoundation/CFObject.h"

struct CFDictionaryKeyCallBacks {
  bool retainsKeys;
};
struct CFDictionaryValueCallBacks {
  bool retainsValues;
};
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

class CFDictionary final : public CFObject {
 public:
  CFTypeID typeID() const override { return kCFDictionaryTypeID; }
  bool equals(const CFObject& other) const override;

 private:
  friend const CFDictionary* CFDictionaryCreate(CFAllocatorRef, const void**, const void**, CFIndex,
                                                const CFDictionaryKeyCallBacks*,
                                                const CFDictionaryValueCallBacks*);
  friend const void* CFDictionaryGetValue(const CFDictionary*, const void*);
  friend CFIndex CFDictionaryGetCount(const CFDictionary*);
  CFDictionary() = default;
  ~CFDictionary() override;
  const std::pair<const void*, const void*>* find(const void* key) const;
  std::vector<std::pair<const void*, const void*>> entries_;
};

using CFDictionaryRef = const CFDictionary*;

// Only the object callbacks are offered: any other (or NULL) gives NULL, as
// does running out of memory. A key given twice keeps its last value.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex count, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
// The value for the key, borrowed, or NULL.
const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key);
CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary);
