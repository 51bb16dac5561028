// NSFileManager: the questions the program asks of the file system.
#pragma once

#include "platform/foundation/NSString.h"

class NSFileManager {
 public:
  static NSFileManager& defaultManager();
  // True when anything (file, folder, device, socket...) exists at the path,
  // following symbolic links. A path that cannot be a file-system path (empty,
  // or holding a NUL character or an unpaired surrogate) exists nowhere.
  bool fileExistsAtPath(const NSString& path) const;
  // The same, also telling whether it is a folder.
  bool fileExistsAtPath(const NSString& path, bool* isDirectory) const;
};
