// The reference-counted base of every CoreFoundation object, with CFRetain and
// CFRelease. A "Create" or "Copy" call hands its caller one reference, which
// the caller gives back with CFRelease; "Get" calls hand out borrowed objects.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/corefoundation/MacTypes.h"

using CFIndex = long;
using CFTypeID = unsigned long;
// Allocators are accepted for the familiar signatures; only the default exists.
using CFAllocatorRef = const void*;
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

class CFObject {
 public:
  CFObject(const CFObject&) = delete;
  CFObject& operator=(const CFObject&) = delete;

  virtual CFTypeID typeID() const = 0;
  virtual bool equals(const CFObject& other) const { return this == &other; }

 protected:
  CFObject() = default;
  // Constants (kCFBooleanTrue, CFSTR strings) live forever: retain and release
  // leave them alone.
  struct Immortal {};
  explicit CFObject(Immortal) : immortal_(true) {}
  virtual ~CFObject() = default;

 private:
  friend const CFObject* CFRetain(const CFObject*);
  friend void CFRelease(const CFObject*);
  friend CFIndex CFGetRetainCount(const CFObject*);
  mutable std::atomic<CFIndex> retainCount_{1};
  bool immortal_ = false;
};

using CFTypeRef = const CFObject*;

// Both abort with a message on a null object, which is always a programming error.
CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);
CFIndex CFGetRetainCount(CFTypeRef object);
Boolean CFEqual(CFTypeRef a, CFTypeRef b);

enum : CFTypeID {
  kCFBooleanTypeID = 21,
  kCFStringTypeID = 7,
  kCFArrayTypeID = 19,
  kCFDictionaryTypeID = 18,
  kCFURLTypeID = 29,
};
