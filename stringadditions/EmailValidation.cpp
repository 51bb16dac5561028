// KVAdditions: the e-mail address shape check, byte by byte over ASCII.
#include "stringadditions/KVAdditions.h"

namespace KVAdditions {
namespace {

// The C library's alphanumeric class in the POSIX locale, whatever the
// process's locale: ASCII letters and digits only.
bool isAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

}  // namespace

// The address is judged on its code units directly: every character outside
// ASCII (an unpaired surrogate included) makes it invalid, so this gives the
// same answer as a scan of its UTF-8 bytes without converting it. A NUL
// character is rejected like any other stray character, so text hidden after
// one cannot ride along with a valid-looking address. An address without any
// "@" is invalid.
bool validEmail(const NSString& self) {
  const std::u16string& s = self.characters();
  const std::size_t at = s.find(u'@');
  if (at == std::u16string::npos || at == 0) return false;
  if (s.find(u'@', at + 1) != std::u16string::npos) return false;

  for (std::size_t i = 0; i < at; ++i) {
    const char16_t c = s[i];
    if (c == u'.') {
      if (i > 0 && s[i - 1] == u'.') return false;
    } else if (!isAsciiAlnum(c) && c != u'-' && c != u'_') {
      return false;
    }
  }

  const std::size_t domain = at + 1;
  if (domain == s.size() || !isAsciiAlnum(s[domain])) return false;
  bool sawDot = false;
  for (std::size_t i = domain + 1; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c == u'.') {
      if (s[i - 1] == u'.') return false;
      sawDot = true;
    } else if (!isAsciiAlnum(c) && c != u'-') {
      return false;
    }
  }
  return sawDot;
}

}  // namespace KVAdditions
