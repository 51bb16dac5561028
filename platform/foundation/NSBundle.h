// NSBundle: an application's folder that holds its executable and resources.
#pragma once

#include <memory>

#include "platform/foundation/NSString.h"

class NSBundle {
 public:
  // A bundle at an existing folder, or nothing when no folder is there.
  static std::shared_ptr<NSBundle> bundleWithPath(const NSString& path);

  // The running application's own bundle: the folder "X.app" when the
  // executable lies in "X.app/Contents/MacOS/", else the executable's folder.
  // A simulated machine may set it (setMainBundlePath).
  static std::shared_ptr<NSBundle> mainBundle();
  static void setMainBundlePath(const NSString& path);  // "" : back to the executable's
  // The identifier the main interface gives; names the defaults domain.
  static void setMainBundleIdentifier(const NSString& identifier);
  const NSString& bundleIdentifier() const { return identifier_; }

  const NSString& bundlePath() const { return path_; }

  explicit NSBundle(NSString path) : path_(std::move(path)) {}

 private:
  NSString path_;
  NSString identifier_;
};
