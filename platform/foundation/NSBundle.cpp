// NSBundle: opening a bundle means finding its folder.
#include "platform/foundation/NSBundle.h"

#include "platform/foundation/NSFileManager.h"

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const NSString& path) {
  bool isDirectory = false;
  if (!NSFileManager::defaultManager().fileExistsAtPath(path, &isDirectory) || !isDirectory)
    return nullptr;
  return std::make_shared<NSBundle>(path);
}
