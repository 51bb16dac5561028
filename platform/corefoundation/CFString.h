// CFString: an immutable string object, held as UTF-8, enough for dictionary
// keys and paths. CFSTR("...") gives a shared constant that needs no release.
#pragma once

#include <string>
#include <string_view>

#include "platform/corefoundation/CFObject.h"

class CFString final : public CFObject {
 public:
  const std::string& utf8() const { return text_; }
  CFTypeID typeID() const override { return kCFStringTypeID; }
  bool equals(const CFObject& other) const override {
    return text_ == static_cast<const CFString&>(other).text_;
  }

  static const CFString* create(std::string_view text) { return new CFString(std::string(text)); }
  static const CFString* constant(std::string_view text);

 private:
  explicit CFString(std::string text) : text_(std::move(text)) {}
  CFString(std::string text, Immortal) : CFObject(Immortal{}), text_(std::move(text)) {}
  std::string text_;
};

using CFStringRef = const CFString*;

using CFStringEncoding = UInt32;
inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

// Only UTF-8 is offered; anything else, or text that is not valid UTF-8, gives NULL.
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);
#define CFSTR(text) (CFString::constant(text))
