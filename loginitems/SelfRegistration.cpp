// Self-registration in the login items and copycat removal.
#include "loginitems/SelfRegistration.h"

#include "loginitems/LoginItemsAE.h"
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSLog.h"
#include "platform/foundation/NSURL.h"
#include "stringadditions/KVAdditions.h"

namespace {

// The path of a login item's "URL", in the same form as the bundle path (plain
// file-system text, no trailing "/"). The records come from LIAECopyLoginItems,
// which always fills in "URL".
NSString itemPath(CFArrayRef items, CFIndex index) {
  auto record = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(items, index));
  auto url = static_cast<CFURLRef>(CFDictionaryGetValue(record, kLIAEURL));
  return NSString::stringWithUTF8String(url->path());
}

}  // namespace

OSStatus loginListContainsApp(const NSString& appPath,
                              std::optional<std::vector<NSString>>* copyCats, bool* found) {
  if (copyCats == nullptr) {
    NSLog("ERROR (%s:%d): failed because: !copyCats", __func__, __LINE__);
    NSLog("ERROR (%s:%d): null list given", __func__, __LINE__);
    return kLoginListNullListErr;
  }
  if (found != nullptr) *found = false;
  if (!copyCats->has_value()) copyCats->emplace();

  CFArrayRef items = nullptr;
  const OSStatus err = LIAECopyLoginItems(&items);
  if (err != noErr) {
    NSLog("ERROR (%s:%d): LIAECopyLoginItems returned: %d\n", __func__, __LINE__, err);
    return err;
  }

  const NSString appName = appPath.lastPathComponent();
  for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
    const NSString path = itemPath(items, i);
    // Case-sensitive: "hushmoor.app" is another program, not a copy.
    if (!KVAdditions::containsString(path, appName)) continue;
    if (path.isEqualToString(appPath)) {
      if (found != nullptr) *found = true;
    } else {
      NSLog("WARN (%s:%d): Login Item %@ found but located in wrong place!", __func__, __LINE__,
            appPath);
      (*copyCats)->push_back(path);
    }
  }
  CFRelease(items);
  return noErr;
}

bool removeLoginItem(const NSString& path) {
  CFArrayRef items = nullptr;
  const OSStatus err = LIAECopyLoginItems(&items);
  if (err != noErr) {
    NSLog("ERROR (%s:%d): LIAECopyLoginItems returned: %d\n", __func__, __LINE__, err);
    return true;
  }
  // Only the first match goes: a second item with the same path is the next
  // copycat's to remove, from a list read afresh.
  for (CFIndex i = 0; i < CFArrayGetCount(items); ++i) {
    if (itemPath(items, i).isEqualToString(path)) {
      LIAERemove(i);
      CFRelease(items);
      return false;
    }
  }
  CFRelease(items);
  return true;
}

void registerSelfInLoginItems() {
  const NSString appPath = NSBundle::mainBundle()->bundlePath();
  std::optional<std::vector<NSString>> copyCats;  // the empty slot
  bool found = false;
  if (loginListContainsApp(appPath, &copyCats, &found) != noErr) return;

  // Each removal reads the list afresh, so an earlier removal never shifts the
  // index of a later one.
  for (const NSString& path : *copyCats) {
    NSLog("INFO: removing copycat: %@", path);
    removeLoginItem(path);
  }

  if (!found) {
    NSLog("INFO: added self to login items");
    // The bundle is a folder: its file URL names a directory. A failed
    // addition is tried again at the next launch, as found will be false.
    const std::string bundle = NSURL::fileURLWithPath(appPath)->path().UTF8String();
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bundle.data()),
        static_cast<CFIndex>(bundle.size()), true);
    if (url != nullptr) {
      LIAEAddURLAtEnd(url, false);
      CFRelease(url);
    }
  }
}
