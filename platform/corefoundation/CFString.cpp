// String objects and the interned CFSTR constants.
#include "platform/corefoundation/CFString.h"

#include <glib.h>

#include <map>
#include <mutex>

const CFString* CFString::constant(std::string_view text) {
  // Interned so that every CFSTR("URL") is the same object; kept for the
  // whole process like the platform's compile-time constants.
  // The table is never destroyed, so the constants stay reachable to the end.
  static std::mutex lock;
  static auto* table = new std::map<std::string, const CFString*, std::less<>>();
  std::lock_guard guard(lock);
  auto found = table->find(text);
  if (found != table->end()) return found->second;
  auto* string = new CFString(std::string(text), Immortal{});
  table->emplace(std::string(text), string);
  return string;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* text, CFStringEncoding encoding) {
  if (text == nullptr || encoding != kCFStringEncodingUTF8) return nullptr;
  if (!g_utf8_validate(text, -1, nullptr)) return nullptr;
  return CFString::create(text);
}
