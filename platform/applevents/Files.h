// File references: a reference names an object that existed when it was made.
// Here it holds the object's absolute path, kept as given (symbolic links are
// not resolved), so the path a user chose comes back unchanged.
#pragma once

#include <string>

#include "platform/corefoundation/CFURL.h"
#include "platform/corefoundation/MacTypes.h"

struct FSRef {
  std::string path;
};

enum : OSStatus {
  ioErr = -36,
  bdNamErr = -37,
  permErr = -54,
  // The path does not fit the caller's buffer.
  pathTooLongErr = -2110,
};

// fnfErr (-43) when nothing exists at the path; *isDirectory (optional) tells
// whether it is a folder. A relative path is taken against the current folder.
OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory);
// The path, UTF-8 bytes with a terminating NUL; pathTooLongErr when it does not fit.
OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);

// False when nothing exists at the URL's path.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);
// A new file URL for the reference (release it); NULL when the object is gone.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef);
