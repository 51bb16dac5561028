// File URLs: absolute paths, percent-escaped in their string form.
#include "platform/foundation/NSURL.h"

#include <glib.h>
#include <unistd.h>

#include <string>

std::shared_ptr<NSURL> NSURL::fileURLWithPath(const NSString& path) {
  std::string p = path.UTF8String();
  if (p.empty() || p[0] != '/') {
    char* cwd = g_get_current_dir();
    p = std::string(cwd) + (p.empty() ? "" : "/" + p);
    g_free(cwd);
  }
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return std::make_shared<NSURL>(NSString::stringWithUTF8String(p));
}

NSString NSURL::absoluteString() const {
  char* escaped = g_uri_escape_string(path_.UTF8String().c_str(), "/", FALSE);
  NSString result = NSString::stringWithUTF8String(std::string("file://") + escaped);
  g_free(escaped);
  return result;
}
