// Small immutable dictionaries; a linear search is the fastest for the few
// entries they hold.
#include "platform/corefoundation/CFDictionary.h"

#include <new>

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{true};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{true};

CFDictionary::~CFDictionary() {
  for (const auto& [key, value] : entries_) {
    CFRelease(static_cast<CFTypeRef>(key));
    CFRelease(static_cast<CFTypeRef>(value));
  }
}

const std::pair<const void*, const void*>* CFDictionary::find(const void* key) const {
  for (const auto& entry : entries_) {
    if (CFEqual(static_cast<CFTypeRef>(entry.first), static_cast<CFTypeRef>(key))) return &entry;
  }
  return nullptr;
}

bool CFDictionary::equals(const CFObject& other) const {
  const auto& that = static_cast<const CFDictionary&>(other);
  if (entries_.size() != that.entries_.size()) return false;
  for (const auto& [key, value] : entries_) {
    const auto* match = that.find(key);
    if (match == nullptr ||
        !CFEqual(static_cast<CFTypeRef>(value), static_cast<CFTypeRef>(match->second)))
      return false;
  }
  return true;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values,
                                   CFIndex count, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
  if (keyCallBacks != &kCFTypeDictionaryKeyCallBacks ||
      valueCallBacks != &kCFTypeDictionaryValueCallBacks || count < 0)
    return nullptr;
  auto* dictionary = new (std::nothrow) CFDictionary();
  if (dictionary == nullptr) return nullptr;
  try {
    dictionary->entries_.reserve(static_cast<std::size_t>(count));
  } catch (const std::exception&) {
    CFRelease(dictionary);
    return nullptr;
  }
  // With the room reserved nothing below can throw, so no retain is left dangling.
  {
    for (CFIndex i = 0; i < count; ++i) {
      if (keys[i] == nullptr || values[i] == nullptr) {
        CFRelease(dictionary);
        return nullptr;
      }
      CFRetain(static_cast<CFTypeRef>(keys[i]));
      CFRetain(static_cast<CFTypeRef>(values[i]));
      auto* existing = const_cast<std::pair<const void*, const void*>*>(dictionary->find(keys[i]));
      if (existing != nullptr) {
        CFRelease(static_cast<CFTypeRef>(keys[i]));
        CFRelease(static_cast<CFTypeRef>(existing->second));
        existing->second = values[i];
      } else {
        dictionary->entries_.emplace_back(keys[i], values[i]);
      }
    }
  }
  return dictionary;
}

const void* CFDictionaryGetValue(CFDictionaryRef dictionary, const void* key) {
  const auto* entry = dictionary->find(key);
  return entry == nullptr ? nullptr : entry->second;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef dictionary) {
  return static_cast<CFIndex>(dictionary->entries_.size());
}
