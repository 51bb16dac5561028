// Printf-style formats checked at compile time against their arguments, shared
// by NSString::stringWithFormat and NSLog. Conversions: %d and %i (integers),
// %u (integers), %s (C strings), %@ (objects: anything with description(), or a
// pointer to one, where a missing object prints "(null)"), and %% for "%".
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace format_detail {

enum class Kind { Integer, CString, Object, Unsupported };

template <class T>
concept CStringLike = std::convertible_to<const T&, std::string_view> ||
                      std::same_as<std::decay_t<T>, const char*> ||
                      std::same_as<std::decay_t<T>, char*>;
template <class T>
concept Describable = requires(const T& t) { t.description(); };
template <class T>
concept DescribablePointer = requires(const T& p) {
  p == nullptr;
  p->description();
};

template <class T>
consteval Kind kindOf() {
  using U = std::remove_cvref_t<T>;
  // nullptr converts to a string view, but it stands for a missing object.
  if constexpr (std::same_as<U, std::nullptr_t>) return Kind::Object;
  else if constexpr (std::integral<U>) return Kind::Integer;
  else if constexpr (CStringLike<U>) return Kind::CString;
  else if constexpr (Describable<U> || DescribablePointer<U>) return Kind::Object;
  else return Kind::Unsupported;
}

// Not constexpr: reaching it while a format is checked at compile time makes
// the build fail and names the problem in the diagnostic.
void formatStringError(const char* problem);

template <std::size_t N>
consteval void validate(std::string_view format, const std::array<Kind, N>& kinds) {
  for (Kind k : kinds)
    if (k == Kind::Unsupported) formatStringError("argument type cannot be formatted");
  std::size_t used = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    if (++i == format.size()) formatStringError("format ends with a lone '%'");
    Kind wanted = Kind::Unsupported;
    switch (format[i]) {
      case '%': continue;
      case 'd': case 'i': case 'u': wanted = Kind::Integer; break;
      case 's': wanted = Kind::CString; break;
      case '@': wanted = Kind::Object; break;
      default: formatStringError("unknown conversion in format");
    }
    if (used == N) formatStringError("more conversions than arguments");
    if (kinds[used++] != wanted) formatStringError("argument does not match its conversion");
  }
  if (used != N) formatStringError("more arguments than conversions");
}

template <class T>
std::string render(const T& arg) {
  using U = std::remove_cvref_t<T>;
  if constexpr (std::same_as<U, std::nullptr_t>) {
    return "(null)";
  } else if constexpr (std::integral<U>) {
    return std::to_string(arg);
  } else if constexpr (CStringLike<U>) {
    if constexpr (std::is_pointer_v<U>) {
      if (arg == nullptr) return "(null)";
    }
    return std::string(std::string_view(arg));
  } else if constexpr (Describable<U>) {
    return arg.description().UTF8String();
  } else {
    if (arg == nullptr) return "(null)";
    return arg->description().UTF8String();
  }
}

// Replaces each conversion of an already validated format with the next
// rendered argument.
std::string substitute(std::string_view format, const std::string* rendered, std::size_t count);

}  // namespace format_detail

template <class... Args>
struct FormatString {
  template <class S>
    requires std::convertible_to<const S&, std::string_view>
  consteval FormatString(const S& s)  // NOLINT(google-explicit-constructor)
      : text(s) {
    format_detail::validate(text, std::array<format_detail::Kind, sizeof...(Args)>{
                                      format_detail::kindOf<Args>()...});
  }
  std::string_view text;
};

template <class... Args>
std::string formatToUTF8(FormatString<std::type_identity_t<Args>...> format, const Args&... args) {
  const std::array<std::string, sizeof...(Args)> rendered{format_detail::render(args)...};
  return format_detail::substitute(format.text, rendered.data(), rendered.size());
}
