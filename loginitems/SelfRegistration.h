// Keeping the application itself in the user's login items exactly once: at
// every launch copycats (items whose path contains the bundle's file name but
// is not the bundle's own path) are removed and the bundle is added at the end
// when it is not listed. Failures are only logged; the launch always goes on.
#pragma once

#include <optional>
#include <vector>

#include "platform/corefoundation/MacTypes.h"
#include "platform/foundation/NSString.h"

// loginListContainsApp's own status for a missing copyCats pointer.
inline constexpr OSStatus kLoginListNullListErr = -4184;

// Scans the login items for appPath. copyCats is the list slot: required (a
// null pointer logs two errors and returns -4184); an empty optional is the
// empty slot and is given a new, empty list before the scan; the path of every
// copycat is appended, in list order. found, when given, is set false at the
// start and true when appPath itself is listed. Returns the status of reading
// the list, or noErr.
OSStatus loginListContainsApp(const NSString& appPath,
                              std::optional<std::vector<NSString>>* copyCats, bool* found);

// Removes the first login item whose path is exactly `path`, reading the list
// afresh. True when reading failed or nothing matched; false when the removal
// was requested.
bool removeLoginItem(const NSString& path);

// The start-up step: the application's own bundle (the main bundle's path) in
// the login items exactly once, copycats removed.
void registerSelfInLoginItems();
