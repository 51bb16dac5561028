// KVAdditions: bundle folders, time-stamped paths and the user's folders.
#include "platform/foundation/NSBundle.h"
#include "platform/foundation/NSCalendarDate.h"
#include "platform/foundation/NSPathUtilities.h"
#include "stringadditions/KVAdditions.h"

namespace KVAdditions {

NSString bundlePathFromExecutablePath(const NSString& self) {
  const NSString dir = self.stringByDeletingLastPathComponent();
  if (!dir.lastPathComponent().isEqualToString("MacOS")) return self;
  // Two levels above "MacOS": the bundle in the usual Bundle/Contents/MacOS layout.
  const NSString candidate = dir.stringByDeletingLastPathComponent().stringByDeletingLastPathComponent();
  return NSBundle::bundleWithPath(candidate) ? candidate : self;
}

NSString pathByAppendingDateFormat(const NSString& self, const NSString& format) {
  const NSString ext = self.pathExtension();
  const NSString base = self.stringByDeletingPathExtension();
  const NSString stamp = NSCalendarDate::calendarDate().descriptionWithCalendarFormat(format);
  const NSString result = base.stringByAppendingString(stamp);
  if (ext.length() == 0) return result;
  return result.stringByAppendingPathExtension(ext);
}

NSString pathByAppendingCurrentTime(const NSString& self) {
  return pathByAppendingDateFormat(self, " %H-%M-%S");
}

namespace {

// Fills a cache from the standard-folder search on first use. A search that
// finds nothing leaves the cache empty, so a later call asks again.
const NSString& cachedFolder(NSString& cache, NSSearchPathDirectory directory) {
  if (cache.length() == 0) {
    const std::vector<NSString> found =
        NSSearchPathForDirectoriesInDomains(directory, NSUserDomainMask, true);
    if (!found.empty()) cache = found.front();
  }
  return cache;
}

NSString inFolder(const NSString& folder, const NSString& component) {
  if (folder.length() == 0) return {};
  return folder.stringByAppendingPathComponent(component);
}

NSString libraryFolderCache;
NSString applicationSupportFolderCache;

}  // namespace

const NSString& libraryFolder() { return cachedFolder(libraryFolderCache, NSLibraryDirectory); }

const NSString& applicationSupportFolder() {
  return cachedFolder(applicationSupportFolderCache, NSApplicationSupportDirectory);
}

NSString libraryFolder(const NSString& component) { return inFolder(libraryFolder(), component); }

NSString applicationSupportFolder(const NSString& component) {
  return inFolder(applicationSupportFolder(), component);
}

}  // namespace KVAdditions
