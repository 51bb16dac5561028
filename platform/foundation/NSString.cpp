// NSString: UTF-16 storage, conversions, searching, numbers and path operations.
#include "platform/foundation/NSString.h"

#include <unicode/uchar.h>

#include <climits>
#include <ostream>

#include "platform/foundation/UTFConversion.h"

namespace {

constexpr char16_t kSlash = u'/';
constexpr char16_t kDot = u'.';

// The path without trailing "/", except that a path of slashes only is "/".
std::u16string_view trimTrailingSlashes(std::u16string_view path) {
  while (path.size() > 1 && path.back() == kSlash) path.remove_suffix(1);
  return path;
}

// The start of the last component within an already trimmed path.
std::size_t lastComponentStart(std::u16string_view trimmed) {
  if (trimmed == u"/") return 0;
  const std::size_t slash = trimmed.rfind(kSlash);
  return slash == std::u16string_view::npos ? 0 : slash + 1;
}

// Where the extension's "." sits within a last component, or npos. A leading
// "." marks a hidden file, not an extension.
std::size_t extensionDot(std::u16string_view component) {
  const std::size_t dot = component.rfind(kDot);
  if (dot == std::u16string_view::npos || dot == 0 || dot + 1 == component.size())
    return std::u16string_view::npos;
  return dot;
}

}  // namespace

NSString::NSString(const char* utf8)
    : NSString(utf8 == nullptr ? NSString() : stringWithUTF8String(utf8)) {}

NSString::NSString(std::u16string units) : units_(std::move(units)) {}

NSString NSString::stringWithUTF8String(std::string_view utf8) {
  return NSString(foundation_detail::utf8ToUTF16(utf8));
}

// Without strict checking the conversion has no way to fail.
std::string NSString::UTF8String() const {
  return foundation_detail::utf16ToUTF8(units_, false).value_or(std::string());
}

std::optional<std::string> NSString::UTF8StringIfRepresentable() const {
  return foundation_detail::utf16ToUTF8(units_, true);
}

NSRange NSString::rangeOfString(const NSString& needle) const {
  if (needle.units_.empty()) return {};
  const std::size_t at = units_.find(needle.units_);
  if (at == std::u16string::npos) return {};
  return {at, needle.units_.size()};
}

std::vector<NSString> NSString::componentsSeparatedByString(const NSString& separator) const {
  std::vector<NSString> parts;
  if (separator.units_.empty()) {
    parts.push_back(*this);
    return parts;
  }
  const std::u16string_view text(units_);
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator.units_, start);
    const std::u16string_view piece = text.substr(start, at == text.npos ? text.npos : at - start);
    parts.emplace_back(std::u16string(piece));
    if (at == text.npos) break;
    start = at + separator.units_.size();
  }
  return parts;
}

NSString NSString::stringByAppendingString(const NSString& tail) const {
  return NSString(units_ + tail.units_);
}

bool NSString::hasSuffix(const NSString& suffix) const {
  return !suffix.units_.empty() && units_.ends_with(suffix.units_);
}

int32_t NSString::intValue() const {
  std::size_t i = 0;
  while (i < units_.size() && u_isUWhiteSpace(units_[i])) ++i;
  bool negative = false;
  if (i < units_.size() && (units_[i] == u'+' || units_[i] == u'-')) {
    negative = units_[i] == u'-';
    ++i;
  }
  // Accumulate as a negative number so INT32_MIN fits, saturating past the ends.
  int64_t value = 0;
  for (; i < units_.size() && units_[i] >= u'0' && units_[i] <= u'9'; ++i) {
    value = value * 10 - (units_[i] - u'0');
    if (value < INT32_MIN)
      value = static_cast<int64_t>(INT32_MIN) - 1;  // saturated; stays so for more digits
  }
  if (negative) return value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value);
  if (value < -static_cast<int64_t>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(-value);
}

NSString NSString::lastPathComponent() const {
  const std::u16string_view trimmed = trimTrailingSlashes(units_);
  return NSString(std::u16string(trimmed.substr(lastComponentStart(trimmed))));
}

NSString NSString::stringByDeletingLastPathComponent() const {
  const std::u16string_view trimmed = trimTrailingSlashes(units_);
  if (trimmed == u"/") return NSString(u"/");
  const std::size_t slash = trimmed.rfind(kSlash);
  if (slash == std::u16string_view::npos) return {};
  const std::u16string_view parent = trimTrailingSlashes(trimmed.substr(0, slash));
  return NSString(std::u16string(parent.empty() ? u"/" : parent));
}

NSString NSString::pathExtension() const {
  const std::u16string_view trimmed = trimTrailingSlashes(units_);
  const std::u16string_view component = trimmed.substr(lastComponentStart(trimmed));
  const std::size_t dot = extensionDot(component);
  if (dot == std::u16string_view::npos) return {};
  return NSString(std::u16string(component.substr(dot + 1)));
}

NSString NSString::stringByDeletingPathExtension() const {
  const std::u16string_view trimmed = trimTrailingSlashes(units_);
  const std::size_t start = lastComponentStart(trimmed);
  const std::size_t dot = extensionDot(trimmed.substr(start));
  if (dot == std::u16string_view::npos) return NSString(std::u16string(trimmed));
  return NSString(std::u16string(trimmed.substr(0, start + dot)));
}

NSString NSString::stringByAppendingPathExtension(const NSString& extension) const {
  const std::u16string_view trimmed = trimTrailingSlashes(units_);
  // Neither the empty path nor the root has a name to carry an extension, and
  // an extension with a "/" would make a new component.
  if (trimmed.empty() || trimmed == u"/" || extension.units_.find(kSlash) != std::u16string::npos)
    return *this;
  std::u16string out(trimmed);
  out += kDot;
  out += extension.units_;
  return NSString(std::move(out));
}

NSString NSString::stringByAppendingPathComponent(const NSString& component) const {
  // An empty path stays relative: "" + "a" is "a", not "/a".
  if (units_.empty()) return component;
  std::u16string out = units_;
  if (out.back() != kSlash) out += kSlash;
  out += component.units_;
  return NSString(std::move(out));
}

std::ostream& operator<<(std::ostream& out, const NSString& s) {
  return out << '"' << s.UTF8String() << '"';
}
