// KVAdditions: general string utilities on NSString. Each takes its receiver
// first; none logs or throws, and failures show only in the result. All may be
// called from any thread; they run on the caller's and block it only for their
// own work (filePathExists and bundlePathFromExecutablePath ask the file system).
#pragma once

#include <cstdint>

#include "platform/foundation/NSString.h"

namespace KVAdditions {

// Password score from 0 to 100; 100 at once for 28 code units or more.
int32_t passwordStrength(const NSString& self);
// Shape check of an e-mail address: ASCII local part and dotted domain.
bool validEmail(const NSString& self);
// "a.b.c" as a*10000 + b*100 + c, each part 0..99; -1 when out of shape.
int32_t numericalVersionRepresentation(const NSString& self);

// Whole-string match against an ICU regular expression with no flags. False
// also when ICU cannot run the match (a receiver beyond INT32_MAX code units,
// memory, or its 2 GB backtracking ceiling; see NSPredicate).
bool matchesRE(const NSString& self, const NSString& pattern);
// Case-sensitive substring test; an empty needle is never contained.
bool containsString(const NSString& self, const NSString& needle);
// Whether anything exists at the path.
bool filePathExists(const NSString& self);
// The receiver repeated count times; count 0 gives the empty string.
NSString dup(const NSString& self, uint32_t count);

// The bundle folder two levels above an executable in ".../MacOS/", or the receiver.
NSString bundlePathFromExecutablePath(const NSString& self);
// The path with the local time, formatted, put just before its extension.
NSString pathByAppendingDateFormat(const NSString& self, const NSString& format);
// pathByAppendingDateFormat with " %H-%M-%S".
NSString pathByAppendingCurrentTime(const NSString& self);

// The user's Library and Application Support folders, found once and kept for
// the life of the process. Empty when the platform knows no such folder; the
// variants with a component then give the empty string too, never a relative path.
const NSString& libraryFolder();
NSString libraryFolder(const NSString& component);
const NSString& applicationSupportFolder();
NSString applicationSupportFolder(const NSString& component);

}  // namespace KVAdditions
