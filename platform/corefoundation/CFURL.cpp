// File URLs.
#include "platform/corefoundation/CFURL.h"

#include <unistd.h>

#include <cstring>
#include <new>
#include <string_view>

bool CFURL::equals(const CFObject& other) const {
  const auto& that = static_cast<const CFURL&>(other);
  return path_ == that.path_ && isDirectory_ == that.isDirectory_;
}

const CFURL* CFURL::createWithPath(std::string path, bool isDirectory) {
  if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
  if (path.front() != '/') {
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) return nullptr;
    std::string base(cwd);
    free(cwd);
    path = base + (base.back() == '/' ? "" : "/") + path;
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return new (std::nothrow) CFURL(std::move(path), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer,
                                                 CFIndex bufferLength, Boolean isDirectory) {
  if (buffer == nullptr || bufferLength <= 0) return nullptr;
  return CFURL::createWithPath(
      std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(bufferLength)),
      isDirectory != 0);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer,
                                         CFIndex maxBufferLength) {
  if (url == nullptr || buffer == nullptr || maxBufferLength <= 0) return false;
  const std::string& path = url->path();
  if (path.size() + 1 > static_cast<std::size_t>(maxBufferLength)) return false;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}
