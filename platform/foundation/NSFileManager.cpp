// NSFileManager over stat(2).
#include "platform/foundation/NSFileManager.h"

#include <sys/stat.h>

NSFileManager& NSFileManager::defaultManager() {
  static NSFileManager manager;
  return manager;
}

bool NSFileManager::fileExistsAtPath(const NSString& path) const {
  return fileExistsAtPath(path, nullptr);
}

bool NSFileManager::fileExistsAtPath(const NSString& path, bool* isDirectory) const {
  const std::optional<std::string> bytes = path.UTF8StringIfRepresentable();
  // A NUL would cut the path short and ask about another file.
  if (!bytes || bytes->empty() || bytes->find('\0') != std::string::npos) return false;
  struct stat info {};
  if (::stat(bytes->c_str(), &info) != 0) return false;
  if (isDirectory != nullptr) *isDirectory = S_ISDIR(info.st_mode);
  return true;
}
