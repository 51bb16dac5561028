// NSURL: file URLs made from paths, and back.
#pragma once

#include <memory>

#include "platform/foundation/NSString.h"

class NSURL {
 public:
  // A file URL for an absolute path ("file:///a%20b/c.app"); a relative path
  // is taken from the current folder. Trailing "/" are dropped from path().
  static std::shared_ptr<NSURL> fileURLWithPath(const NSString& path);

  // The plain file-system path (not percent-escaped, no trailing "/").
  const NSString& path() const { return path_; }
  // The "file://" form, percent-escaped.
  NSString absoluteString() const;
  NSString description() const { return absoluteString(); }

  explicit NSURL(NSString path) : path_(std::move(path)) {}

 private:
  NSString path_;
};
