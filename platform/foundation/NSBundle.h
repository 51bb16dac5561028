// NSBundle: an application's folder that holds its executable and resources.
#pragma once

#include <memory>

#include "platform/foundation/NSString.h"

class NSBundle {
 public:
  // A bundle at an existing folder, or nothing when no folder is there.
  static std::shared_ptr<NSBundle> bundleWithPath(const NSString& path);

  const NSString& bundlePath() const { return path_; }

  explicit NSBundle(NSString path) : path_(std::move(path)) {}

 private:
  NSString path_;
};
