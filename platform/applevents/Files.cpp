// File references over paths.
#include "platform/applevents/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/applevents/AEDataModel.h"

namespace {
OSStatus statusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
      return fnfErr;
    case ENAMETOOLONG:
      return bdNamErr;
    case EACCES:
    case EPERM:
      return permErr;
    default:
      return ioErr;
  }
}
}  // namespace

OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory) {
  if (path == nullptr || ref == nullptr) return paramErr;
  if (path[0] == '\0') return fnfErr;
  // CFURL's path rules (absolute, no trailing "/") make the reference's path.
  CFURLRef url = CFURL::createWithPath(reinterpret_cast<const char*>(path), false);
  if (url == nullptr) return fnfErr;
  struct stat st;
  int result = stat(url->path().c_str(), &st);
  int error = errno;
  if (result == 0) {
    ref->path = url->path();
    if (isDirectory != nullptr) *isDirectory = S_ISDIR(st.st_mode) ? 1 : 0;
  }
  CFRelease(url);
  return result == 0 ? noErr : statusOfErrno(error);
}

OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
  if (ref == nullptr || path == nullptr || ref->path.empty()) return paramErr;
  if (ref->path.size() + 1 > maxPathSize) return pathTooLongErr;
  std::memcpy(path, ref->path.c_str(), ref->path.size() + 1);
  return noErr;
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
  if (url == nullptr || fsRef == nullptr) return false;
  return FSPathMakeRef(reinterpret_cast<const UInt8*>(url->path().c_str()), fsRef, nullptr) ==
         noErr;
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef* fsRef) {
  if (fsRef == nullptr || fsRef->path.empty()) return nullptr;
  struct stat st;
  if (stat(fsRef->path.c_str(), &st) != 0) return nullptr;
  return CFURL::createWithPath(fsRef->path, S_ISDIR(st.st_mode));
}
