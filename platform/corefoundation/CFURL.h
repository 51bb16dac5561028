// CFURL: file URLs, each a file-system path plus whether it names a folder.
#pragma once

#include <string>

#include "platform/corefoundation/CFObject.h"
#include "platform/corefoundation/CFString.h"

class CFURL final : public CFObject {
 public:
  // The path as file-system bytes: absolute, without a trailing "/" (except "/").
  const std::string& path() const { return path_; }
  bool isDirectory() const { return isDirectory_; }
  CFTypeID typeID() const override { return kCFURLTypeID; }
  bool equals(const CFObject& other) const override;

  // NULL for an empty path or one holding a NUL byte; a relative path is taken
  // against the current folder.
  static const CFURL* createWithPath(std::string path, bool isDirectory);

 private:
  CFURL(std::string path, bool isDirectory) : path_(std::move(path)), isDirectory_(isDirectory) {}
  std::string path_;
  bool isDirectory_;
};

using CFURLRef = const CFURL*;

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer,
                                                 CFIndex bufferLength, Boolean isDirectory);
// Writes the path and a terminating NUL; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufferLength);
