// NSString: the platform's immutable Unicode string, held as UTF-16 code units.
// Lengths, indices and ranges count UTF-16 code units, as every caller expects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/FormatString.h"

using unichar = char16_t;

inline constexpr std::size_t NSNotFound = static_cast<std::size_t>(-1);

struct NSRange {
  std::size_t location = NSNotFound;
  std::size_t length = 0;
  friend bool operator==(const NSRange&, const NSRange&) = default;
};

class NSString {
 public:
  NSString() = default;
  // UTF-8 text; a null pointer gives the empty string. Malformed UTF-8
  // sequences become U+FFFD rather than being dropped silently.
  NSString(const char* utf8);      // NOLINT(google-explicit-constructor)
  NSString(std::u16string units);  // NOLINT(google-explicit-constructor)
  NSString(const char16_t* units) : units_(units == nullptr ? u"" : units) {}  // NOLINT
  static NSString stringWithUTF8String(std::string_view utf8);

  // Builds a string from a format checked at compile time: %@ (NSString or any
  // object with description(); a missing object prints "(null)"), %s, %d, %u, %%.
  template <class... Args>
  static NSString stringWithFormat(FormatString<std::type_identity_t<Args>...> format,
                                   const Args&... args) {
    return stringWithUTF8String(formatToUTF8(format, args...));
  }

  std::size_t length() const { return units_.size(); }
  const std::u16string& characters() const { return units_; }

  // The text as UTF-8; an unpaired surrogate is written as U+FFFD.
  std::string UTF8String() const;
  // The text as UTF-8, or nothing when it holds an unpaired surrogate and so
  // has no faithful UTF-8 form.
  std::optional<std::string> UTF8StringIfRepresentable() const;

  // Literal, case-sensitive search by code unit. An empty needle is never found.
  NSRange rangeOfString(const NSString& needle) const;
  std::vector<NSString> componentsSeparatedByString(const NSString& separator) const;
  NSString stringByAppendingString(const NSString& tail) const;
  bool hasSuffix(const NSString& suffix) const;

  // Decimal integer at the start, after white space and an optional sign;
  // 0 when no digits are there; saturates at INT32_MIN / INT32_MAX.
  int32_t intValue() const;

  bool isEqualToString(const NSString& other) const { return units_ == other.units_; }
  friend bool operator==(const NSString& a, const NSString& b) { return a.units_ == b.units_; }

  NSString description() const { return *this; }

  // Path operations on "/"-separated paths. Trailing "/" are ignored, except
  // that the root path "/" stays itself.
  NSString lastPathComponent() const;
  NSString stringByDeletingLastPathComponent() const;
  NSString pathExtension() const;
  NSString stringByDeletingPathExtension() const;
  NSString stringByAppendingPathExtension(const NSString& extension) const;
  NSString stringByAppendingPathComponent(const NSString& component) const;

 private:
  std::u16string units_;
};

// Lets GoogleTest and logs print strings readably.
std::ostream& operator<<(std::ostream& out, const NSString& s);
