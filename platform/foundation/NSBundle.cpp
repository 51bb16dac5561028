// NSBundle: opening a bundle means finding its folder.
#include "platform/foundation/NSBundle.h"

#include <filesystem>

#include "platform/foundation/NSFileManager.h"

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const NSString& path) {
  bool isDirectory = false;
  if (!NSFileManager::defaultManager().fileExistsAtPath(path, &isDirectory) || !isDirectory)
    return nullptr;
  return std::make_shared<NSBundle>(path);
}

namespace {
struct MainBundleSettings {
  NSString path;        // empty: found from the executable
  NSString identifier;  // empty: the bundle folder's name
};
MainBundleSettings& mainSettings() {
  static MainBundleSettings settings;
  return settings;
}

NSString executableBundlePath() {
  std::error_code ignored;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ignored);
  const NSString folder = NSString::stringWithUTF8String(exe.parent_path().string());
  // X.app/Contents/MacOS/executable: the bundle is X.app.
  if (folder.lastPathComponent() == NSString("MacOS")) {
    const NSString contents = folder.stringByDeletingLastPathComponent();
    if (contents.lastPathComponent() == NSString("Contents"))
      return contents.stringByDeletingLastPathComponent();
  }
  return folder;
}
}  // namespace

std::shared_ptr<NSBundle> NSBundle::mainBundle() {
  const MainBundleSettings& s = mainSettings();
  auto bundle = std::make_shared<NSBundle>(s.path.length() > 0 ? s.path : executableBundlePath());
  bundle->identifier_ = s.identifier.length() > 0
                            ? s.identifier
                            : bundle->path_.lastPathComponent().stringByDeletingPathExtension();
  return bundle;
}

void NSBundle::setMainBundlePath(const NSString& path) { mainSettings().path = path; }
void NSBundle::setMainBundleIdentifier(const NSString& identifier) {
  mainSettings().identifier = identifier;
}
